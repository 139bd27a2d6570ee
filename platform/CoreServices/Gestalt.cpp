#include "Gestalt.h"

OSErr Gestalt(OSType selector, SInt32* response)
{
    if (selector != gestaltSystemVersion || !response) return gestaltUndefSelectorErr;
    *response = 0x1068;
    return noErr;
}
