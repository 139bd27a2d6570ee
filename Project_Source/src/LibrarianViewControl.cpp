#include "LibrarianViewControl.h"

#include "QOR.h"

LibrarianViewControl::LibrarianViewControl(QOR* plugIn, int x, int y, int paramIdx, IBitmap* bitmap, IRECT areaIn,
                                           PatchLibrarian* libraryIn, double scaleIn)
    : IBitmapOverlayControl(plugIn, x, y, paramIdx, bitmap, areaIn), library(libraryIn), plug(plugIn), scale(scaleIn),
      area(areaIn)
{
}

bool LibrarianViewControl::Draw(IGraphics* g)
{
    return IBitmapControl::Draw(g);
}
