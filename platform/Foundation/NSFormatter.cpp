#include "NSFormatter.h"

#include <CoreFoundation/CFUtf8.h>

NS_STANDIN_CLASS_IMPL(NSCharacterSet, NSObject)
NS_STANDIN_CLASS_IMPL(NSFormatter, NSObject)
NS_STANDIN_CLASS_IMPL(NSNotification, NSObject)

std::vector<unichar32> NSStandinCharacters(const char* s) { return cf_standin::DecodeUtf8(s); }

NSCharacterSet* NSCharacterSet::characterSetWithCharactersInString(NSString* characters)
{
    auto* set = new NSCharacterSet;
    if (characters)
        for (unichar32 c : NSStandinCharacters(characters->UTF8String())) set->mMembers.insert(c);
    set->autorelease();
    return set;
}

bool NSFormatter::getObjectValue(NSObject** object, NSString*, NSString**)
{
    if (object) *object = nullptr;
    return false;
}

bool NSFormatter::isPartialStringValid(NSString*, NSString** newString, NSString**)
{
    if (newString) *newString = nullptr;
    return true;
}

NSNotification::~NSNotification()
{
    if (mName) mName->release();
    if (mObject) mObject->release();
}

NSNotification* NSNotification::notificationWithName(NSString* name, NSObject* object)
{
    auto* n = new NSNotification;
    n->mName = name ? static_cast<NSString*>(name->retain()) : nullptr;
    n->mObject = object ? object->retain() : nullptr;
    n->autorelease();
    return n;
}
