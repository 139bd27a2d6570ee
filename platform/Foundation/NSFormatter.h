#pragma once
// Formatters, character sets and notifications of the Foundation stand-in. Characters are
// Unicode code points read from the UTF-8 of a string.
#include <set>
#include <string>
#include <vector>

#include "NSString.h"

typedef unsigned int unichar32;

// The code points of UTF-8 text; a malformed byte counts as one character of its own value.
std::vector<unichar32> NSStandinCharacters(const char* utf8);

class NSCharacterSet : public NSObject
{
    NS_STANDIN_CLASS(NSCharacterSet)
public:
    NSCharacterSet() = default;
    // Autoreleased.
    static NSCharacterSet* characterSetWithCharactersInString(NSString* characters);
    // Letters, marks and digits of every script (the C library's UTF-8 classes). Not owned.
    static NSCharacterSet* alphanumericCharacterSet();
    bool characterIsMember(unichar32 c) const;

private:
    std::set<unichar32> mMembers;
    bool mAlphanumeric = false;
};

// Turns objects into text and back, and checks text while it is typed.
class NSFormatter : public NSObject
{
    NS_STANDIN_CLASS(NSFormatter)
public:
    NSFormatter() = default;
    virtual NSString* stringForObjectValue(NSObject*) { return nullptr; }
    virtual bool getObjectValue(NSObject** object, NSString* string, NSString** error);
    // Whether the text after an edit may stand; a formatter may offer a replacement.
    virtual bool isPartialStringValid(NSString*, NSString** newString, NSString** error);
};

class NSNotification : public NSObject
{
    NS_STANDIN_CLASS(NSNotification)
public:
    NSNotification() = default;
    ~NSNotification() override;
    // Autoreleased.
    static NSNotification* notificationWithName(NSString* name, NSObject* object);
    NSString* name() const { return mName; }
    NSObject* object() const { return mObject; }

private:
    NSString* mName = nullptr;   // retained
    NSObject* mObject = nullptr; // retained
};
