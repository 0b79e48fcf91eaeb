// File associations: takes archive extensions over for Velmor, keeping a
// backup of each previous owner below Software\Velmor\Setup\<extension>,
// and gives them back from that backup.
#ifndef VELMOR_INTEGRATION_ASSOCIATIONS_H
#define VELMOR_INTEGRATION_ASSOCIATIONS_H

#include "integration/settings.h"

// Templates for Explorer's New menu: empty archives of the own format and
// of ZIP. Held with their first byte zero so that this program's file
// never carries a complete archive signature; SetAssociation completes them.
const int OwnTemplateSize = 20;
const int ZipTemplateSize = 22;
extern unsigned char OwnFormatTemplate[OwnTemplateSize];
extern unsigned char ZipTemplate[ZipTemplateSize];

// One SetAssociation per extension of every archive type: take over where
// the type is chosen, give back where it is not.
void ApplyAssociations(const IntegrationSettings *settings);

void SetAssociation(const char *extension, bool associate, bool shellIntegration,
                    bool isZip, bool isOwnFormat);

#endif
