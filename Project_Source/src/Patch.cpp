#include "Patch.h"

Patch::Patch() : data(4096)
{
    for (int i = 0; i < kNameCount; ++i) names.push_back("INIT");
}
