#include "NSFormatter.h"

NS_STANDIN_CLASS_IMPL(NSCharacterSet, NSObject)
NS_STANDIN_CLASS_IMPL(NSFormatter, NSObject)
NS_STANDIN_CLASS_IMPL(NSNotification, NSObject)

std::vector<unichar32> NSStandinCharacters(const char* s)
{
    std::vector<unichar32> out;
    if (!s) return out;
    const auto* p = reinterpret_cast<const unsigned char*>(s);
    while (*p) {
        const unsigned char b = *p;
        int more = b >= 0xF0 && b < 0xF8 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
        unichar32 c = more == 3 ? b & 0x07 : more == 2 ? b & 0x0F : more == 1 ? b & 0x1F : b;
        int n = 1;
        for (; n <= more && (p[n] & 0xC0) == 0x80; ++n) c = (c << 6) | (p[n] & 0x3F);
        if (n <= more) { // cut short: the lead byte alone
            c = b;
            n = 1;
        }
        out.push_back(c);
        p += n;
    }
    return out;
}

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
