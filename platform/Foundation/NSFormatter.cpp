#include "NSFormatter.h"

#include <CoreFoundation/CFUtf8.h>

#include <cctype>
#include <clocale>
#include <cwctype>
#include <locale.h>

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

NSCharacterSet* NSCharacterSet::alphanumericCharacterSet()
{
    static NSCharacterSet* set = [] {
        auto* s = new NSCharacterSet; // lives for the process
        s->mAlphanumeric = true;
        return s;
    }();
    return set;
}

bool NSCharacterSet::characterIsMember(unichar32 c) const
{
    if (!mAlphanumeric) return mMembers.count(c) != 0;
    // The classes of C.UTF-8 whatever the process's own locale; ASCII alone without it.
    static locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(0));
    if (c < 128 || !utf8) return c < 128 && std::isalnum(int(c));
    return iswalnum_l(wint_t(c), utf8) != 0;
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
