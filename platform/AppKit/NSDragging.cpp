#include "NSDragging.h"

#include <algorithm>
#include <map>

#include <CoreFoundation/CFPresenter.h>

#include "AppKitStandin.h"
#include "NSApplication.h"
#include "NSControl.h"
#include "NSWindow.h"

NS_STANDIN_CLASS_IMPL(NSPasteboard, NSObject)
NS_STANDIN_CLASS_IMPL(NSDraggingInfo, NSObject)

namespace {

std::vector<std::string> stringsOf(NSArray* list)
{
    std::vector<std::string> out;
    for (NSUInteger i = 0; list && i < list->count(); ++i)
        if (auto* s = dynamic_cast<NSString*>(list->objectAtIndex(i))) out.push_back(s->UTF8String());
    return out;
}

NSArray* arrayOf(const std::vector<std::string>& strings)
{
    std::vector<NSObject*> items;
    for (const std::string& s : strings) items.push_back(NSString::stringWithUTF8String(s.c_str()));
    return NSArray::arrayWithVector(items);
}

} // namespace

NSPasteboard::~NSPasteboard() = default;

NSPasteboard* NSPasteboard::pasteboardWithName(const char* name)
{
    static std::map<std::string, NSPasteboard*> boards; // kept for the process
    NSPasteboard*& b = boards[name ? name : ""];
    if (!b) b = new NSPasteboard;
    return b;
}

void NSPasteboard::declareTypes(const std::vector<std::string>& types, NSObject*)
{
    mTypes = types;
    mLists.clear();
    mBytes.clear();
}

bool NSPasteboard::declared(const char* type) const
{
    return type && std::find(mTypes.begin(), mTypes.end(), type) != mTypes.end();
}

bool NSPasteboard::setData(const std::string& bytes, const char* type)
{
    if (!declared(type)) return false;
    for (auto& entry : mBytes)
        if (entry.first == type) {
            entry.second = bytes;
            return true;
        }
    mBytes.emplace_back(type, bytes);
    return true;
}

bool NSPasteboard::setString(NSString* text, const char* type)
{
    return text && setData(text->UTF8String(), type);
}

const std::string* NSPasteboard::dataForType(const char* type) const
{
    if (!type) return nullptr;
    for (const auto& entry : mBytes)
        if (entry.first == type) return &entry.second;
    return nullptr;
}

NSString* NSPasteboard::stringForType(const char* type) const
{
    const std::string* bytes = dataForType(type);
    return bytes ? NSString::stringWithUTF8String(bytes->c_str()) : nullptr;
}

const char* NSPasteboard::availableTypeFromArray(const std::vector<std::string>& types) const
{
    for (const std::string& mine : mTypes)
        if (std::find(types.begin(), types.end(), mine) != types.end()) return mine.c_str();
    return nullptr;
}

bool NSPasteboard::setPropertyList(NSArray* strings, const char* type)
{
    if (!type || std::find(mTypes.begin(), mTypes.end(), type) == mTypes.end()) return false;
    for (auto& entry : mLists)
        if (entry.first == type) {
            entry.second = stringsOf(strings);
            return true;
        }
    mLists.emplace_back(type, stringsOf(strings));
    return true;
}

NSArray* NSPasteboard::propertyListForType(const char* type) const
{
    for (const auto& entry : mLists)
        if (type && entry.first == type) return arrayOf(entry.second);
    return nullptr;
}

NSDraggingInfo::~NSDraggingInfo()
{
    if (mPasteboard) mPasteboard->release();
    if (mSource) mSource->release();
}

NSDraggingInfo* NSDraggingInfo::initWithPasteboard(NSPasteboard* pasteboard, NSObject* source)
{
    mPasteboard = pasteboard ? static_cast<NSPasteboard*>(pasteboard->retain()) : nullptr;
    mSource = source ? source->retain() : nullptr;
    return this;
}

NSArray* NSDraggingInfo::namesOfPromisedFilesDroppedAtDestination(NSURL* folder)
{
    NSString* path = folder ? folder->path() : nullptr;
    mDestination = path ? path->UTF8String() : "";
    // A view that started the drag writes its promised files itself.
    if (auto* view = dynamic_cast<NSView*>(mSource))
        if (NSArray* written = view->namesOfPromisedFilesDroppedAtDestination(folder)) return written;
    return arrayOf(mPromisedNames);
}

namespace
{

// Shows the drag to the presenter and carries out where it ends.
bool runDrag(NSView* from, NSPoint at, NSImage* image, NSPasteboard* pb, NSObject* source, bool slideBack)
{
    cf_standin::DragShown shown;
    shown.types = pb->types();
    for (const std::string& type : shown.types)
        if (NSArray* list = pb->propertyListForType(type.c_str())) {
            shown.items = stringsOf(list);
            break;
        }
    NSPoint p = from->convertPointToBase(at);
    if (NSWindow* w = from->window()) p = NSMakePoint(p.x + w->frame().origin.x, p.y + w->frame().origin.y);
    shown.x = p.x;
    shown.y = p.y;
    if (image) {
        shown.imageWidth = image->size().width;
        shown.imageHeight = image->size().height;
        shown.imageFlipped = image->isFlipped();
    }
    shown.slideBack = slideBack;
    const cf_standin::DragDrop end = cf_standin::presenter()->Drag(shown);
    switch (end.where) {
    case cf_standin::DragDrop::kAtPoint: {
        auto* info = static_cast<NSDraggingInfo*>(NSDraggingInfo::class_()->alloc())->initWithPasteboard(pb, source);
        const bool taken = ns_standin::dropAt(info, NSMakePoint(end.x, end.y));
        info->release();
        return taken;
    }
    case cf_standin::DragDrop::kInFolder: {
        if (!pb->availableTypeFromArray({NSFilesPromisePboardType})) return true; // files land there as they are
        auto* writer = dynamic_cast<NSView*>(source);
        NSAutoreleasePool pool;
        NSString* folder = NSString::stringWithUTF8String(end.folder.c_str());
        NSArray* names =
            writer ? writer->namesOfPromisedFilesDroppedAtDestination(NSURL::fileURLWithPath(folder)) : nullptr;
        return names && names->count() > 0;
    }
    case cf_standin::DragDrop::kRefused: break;
    }
    return false;
}

} // namespace

bool NSView::dragPromisedFilesOfTypes(NSArray* types, NSRect fromRect, NSObject* source, bool slideBack, NSEvent*)
{
    NSPasteboard* pb = NSPasteboard::pasteboardWithName(NSDragPboard);
    pb->declareTypes({NSFilesPromisePboardType}, source);
    pb->setPropertyList(types, NSFilesPromisePboardType);
    return runDrag(this, fromRect.origin, nullptr, pb, source, slideBack);
}

bool NSView::dragImage(NSImage* image, NSPoint at, NSSize, NSEvent*, NSPasteboard* pasteboard, NSObject* source,
                       bool slideBack)
{
    if (!pasteboard) return false;
    return runDrag(this, at, image, pasteboard, source, slideBack);
}

bool ns_standin_place(NSDraggingInfo* info, NSWindow* window, NSPoint location)
{
    info->mWindow = window;
    info->mLocation = location;
    return true;
}

bool ns_standin::dropAt(NSDraggingInfo* info, NSPoint screen)
{
    if (!info || !info->draggingPasteboard()) return false;
    NSWindow* window = nullptr;
    for (NSWindow* w : NSApp->orderedWindows()) {
        const NSRect f = w->frame();
        if (w->isVisible() && NSPointInRect(screen, f)) {
            window = w;
            break;
        }
    }
    if (!window || !window->contentView()) return false;
    const NSPoint at = NSMakePoint(screen.x - window->frame().origin.x, screen.y - window->frame().origin.y);
    ns_standin_place(info, window, at);
    NSView* view = window->contentView()->hitTest(at);
    const std::vector<std::string>& offered = info->draggingPasteboard()->types();
    auto takes = [&](NSView* v) {
        for (const std::string& t : v->registeredDraggedTypes())
            if (std::find(offered.begin(), offered.end(), t) != offered.end()) return true;
        return false;
    };
    while (view && !takes(view)) view = view->superview();
    if (!view) return false;
    view->retain();
    bool dropped = false;
    if (view->draggingEntered(info) != NSDragOperationNone && view->draggingUpdated(info) != NSDragOperationNone)
        dropped = view->performDragOperation(info);
    else
        view->draggingExited(info);
    view->release();
    return dropped;
}
