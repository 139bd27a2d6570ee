#pragma once
// The lookup containers that map an incoming MIDI address back to the control showing it:
// nested ordered maps, one level per key. They point at controls the editor surface owns.
//
// They are filled on the main thread while the configuration is read, before any MIDI thread
// runs, and only read afterwards: lookups take no lock.
#include <map>

class IControl;
struct ControlAction;

typedef std::map<int, IControl*> ccControlMap;
typedef std::map<int, ccControlMap> controlID3;
typedef std::map<int, controlID3> controlID2;
typedef std::map<int, controlID2> controlID1;

namespace controlmaps {

// Stores the control under the keys, making every missing level; a control filed there
// before is replaced.
inline void file(ccControlMap& map, IControl* control, int key) { map[key] = control; }
template <class Map, class... Keys> void file(Map& map, IControl* control, int key, Keys... rest)
{
    file(map[key], control, rest...);
}

// The control under the keys, or null as soon as a level lacks its key; inserts nothing.
inline IControl* find(const ccControlMap& map, int key)
{
    auto it = map.find(key);
    return it == map.end() ? nullptr : it->second;
}
template <class Map, class... Keys> IControl* find(const Map& map, int key, Keys... rest)
{
    auto it = map.find(key);
    return it == map.end() ? nullptr : find(it->second, rest...);
}

} // namespace controlmaps

class NRPNControlContainer {
public:
    // Files the control under the action's channel key, MSB value, LSB value, LSB control and
    // global key.
    void addToControlMap(ControlAction* action, IControl* control);
    IControl* findControl(int channelKey, int msbValue, int lsbValue, int lsbControl, int globalKey) const;

    std::map<int, controlID1> controls;
};

class SysExControlContainer {
public:
    // Files the control under the four bytes at bytes, in order, then index.
    void addToControlMap(unsigned char* bytes, unsigned char index, IControl* control);
    IControl* findControl(int byte1, int byte2, int byte3, int byte4, int index) const;

    std::map<int, controlID1> controls;
};
