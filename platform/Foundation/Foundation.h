#pragma once
// Umbrella header of the Foundation stand-in.
#include "NSObject.h"
#include "NSString.h"
#include "NSBundle.h"
#include "NSRunLoop.h"
#include "NSFormatter.h"
#include "NSThread.h"
#include "NSTask.h"
