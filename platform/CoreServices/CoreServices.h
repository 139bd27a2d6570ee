#pragma once
// Umbrella header of the CoreServices stand-in: basic types and the Component Manager.
#include "MacTypes.h"
#include "Components.h"
#include "Gestalt.h"
