#pragma once
// Drag and drop: the drag pasteboard with its types, file-name lists and promised file types,
// and the dragging information a destination view is handed. Views take drops once they
// register for a type the pasteboard holds; the stand-in's presenter side drops at a screen
// point (ns_standin::dropAt).
#include <string>
#include <vector>

#include "NSView.h"

#define NSDragPboard "Apple CFPasteboard drag"
#define NSFilenamesPboardType "NSFilenamesPboardType"
#define NSFilesPromisePboardType "NSFilesPromisePboardType"
#define NSGeneralPboard "Apple CFPasteboard general"
#define NSStringPboardType "NSStringPboardType"

typedef NSUInteger NSDragOperation;
enum : NSUInteger { NSDragOperationNone = 0, NSDragOperationCopy = 1, NSDragOperationGeneric = 4 };

class NSPasteboard : public NSObject {
    NS_STANDIN_CLASS(NSPasteboard)
public:
    NSPasteboard() = default;
    ~NSPasteboard() override;
    // One pasteboard per name for the process.
    static NSPasteboard* pasteboardWithName(const char* name);
    // Empties the pasteboard and declares the types it will hold; the owner is not retained.
    void declareTypes(const std::vector<std::string>& types, NSObject* owner);
    const std::vector<std::string>& types() const { return mTypes; }
    // The first of the given types the pasteboard holds, or null.
    const char* availableTypeFromArray(const std::vector<std::string>& types) const;
    // A list of strings (file names, or the promised files' types) under a declared type.
    bool setPropertyList(NSArray* strings, const char* type);
    // Autoreleased; null when the type holds no list.
    NSArray* propertyListForType(const char* type) const;
    // The system's pasteboard for copy and paste (in memory, one for the process).
    static NSPasteboard* generalPasteboard() { return pasteboardWithName(NSGeneralPboard); }
    // Text (UTF-8) and bytes under a declared type; false for a type not declared.
    bool setString(NSString* text, const char* type);
    bool setData(const std::string& bytes, const char* type);
    // Autoreleased; null when the type holds no text.
    NSString* stringForType(const char* type) const;
    // Null when the type holds no bytes.
    const std::string* dataForType(const char* type) const;

private:
    bool declared(const char* type) const;
    std::vector<std::string> mTypes;
    std::vector<std::pair<std::string, std::vector<std::string>>> mLists;
    std::vector<std::pair<std::string, std::string>> mBytes; // texts and data by type
};

class NSDraggingInfo;
bool ns_standin_place(NSDraggingInfo* info, NSWindow* window, NSPoint location);

// What a destination knows of a drag. The promised files are written by the source when the
// destination names a folder; the stand-in's source answers the names it was given.
class NSDraggingInfo : public NSObject {
    NS_STANDIN_CLASS(NSDraggingInfo)
public:
    NSDraggingInfo() = default;
    ~NSDraggingInfo() override;
    // The window and the location come with the drop (ns_standin::dropAt).
    NSDraggingInfo* initWithPasteboard(NSPasteboard* pasteboard, NSObject* source);
    NSPasteboard* draggingPasteboard() const { return mPasteboard; }
    NSObject* draggingSource() const { return mSource; }
    NSWindow* draggingDestinationWindow() const { return mWindow; }
    // In the destination window's coordinates.
    NSPoint draggingLocation() const { return mLocation; }
    // Autoreleased: the names (not paths) of the promised files written into the folder.
    NSArray* namesOfPromisedFilesDroppedAtDestination(NSURL* folder);
    // The names the source will answer, and the folder it was last given (the stand-in's record).
    void setPromisedNames(const std::vector<std::string>& names) { mPromisedNames = names; }
    const std::string& promisedDestination() const { return mDestination; }

private:
    friend bool ns_standin_place(NSDraggingInfo*, NSWindow*, NSPoint);
    NSPasteboard* mPasteboard = nullptr; // retained
    NSObject* mSource = nullptr;         // retained
    NSWindow* mWindow = nullptr;         // not retained
    NSPoint mLocation{};
    std::vector<std::string> mPromisedNames;
    std::string mDestination;
};
