// Removal of everything setup wrote into the registry and the shell.
#ifndef VELMOR_SETUP_CLEANUP_H
#define VELMOR_SETUP_CLEANUP_H

// Gives back the associations, unregisters the shell extension and the
// Default Programs entry, deletes the shortcuts, the ProgIDs, the
// Add/Remove Programs and App Paths entries and the product's key.
void RemoveIntegration();

#endif
