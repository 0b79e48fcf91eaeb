// Makes the archiver Velmor.exe, which lies beside this program, known to
// the system: its App Paths entry and the three ProgIDs that associations
// point to.
#ifndef VELMOR_INTEGRATION_REGISTRATION_H
#define VELMOR_INTEGRATION_REGISTRATION_H

extern const char AppPathKey[];       // HKLM ...\App Paths\Velmor.exe

// Path of Velmor.exe beside this program into path (1024 bytes); false,
// with an empty path, when it would not fit whole.
bool GetArchiverPath(char *path, unsigned size);

// False only when the first write was refused with access denied (the
// program lacks administrator rights); nothing was written then.
bool RegisterAppPath();

// archiveIcon and volumeIcon replace the icon texts "<path>,0" and
// "<path>,1" when given. Same result as RegisterAppPath.
bool RegisterProgIds(const char *archiveIcon, const char *volumeIcon);

#endif
