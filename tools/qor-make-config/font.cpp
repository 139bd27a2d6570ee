// The texts of the layout measured with the editor's own glyph fonts: the style a creator gives
// a control's text, made as the editor surface makes it.
#include "fit.h"

#include "kit/plugin/IGraphicsFont.h"
#include "kit/raster/rast_font.h"
#include "kit/wapi/wapi-gdi.h"

#include <map>
#include <memory>
#include <tuple>

namespace makeconfig
{

TextWidth editorTextWidth()
{
    // One font per style for the whole run, as the surface's cache keeps them.
    using Key = std::tuple<std::string, int, bool, bool>;
    auto fonts = std::make_shared<std::map<Key, std::unique_ptr<RAST_CachedFont>>>();
    return [fonts](const TextFace& face, const std::string& text) {
        if (text.empty()) return 0;
        std::unique_ptr<RAST_CachedFont>& font = (*fonts)[Key{face.name, face.size, face.bold, face.asEditor}];
        if (!font) {
            IText style(face.size, nullptr, face.name.c_str(), face.bold ? IText::kStyleBold : IText::kStyleNormal);
            font.reset(plugdraw::MakeTextFont(style, face.asEditor));
            if (!font) return -1;
        }
        RECT r = {0, 0, 0, 0};
        font->DrawText(nullptr, text.c_str(), -1, &r, DT_SINGLELINE | DT_CALCRECT);
        return int(r.right - r.left);
    };
}

} // namespace makeconfig
