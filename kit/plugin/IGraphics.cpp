#include "kit/plugin/IGraphics.h"

#include "kit/plugin/IParam.h"
#include "kit/plugin/IPluginBase.h"

IGraphics::IGraphics(IPluginBase* plug, int width, int height, int fps)
    : mPlug(plug), mWidth(width), mHeight(height), mFPS(fps < 1 ? 25 : fps)
{
}

IGraphics::~IGraphics() {}

void IGraphics::PrepDraw() {}

void IGraphics::SetParameterFromPlug(int paramIdx, double value, bool normalized)
{
    if (normalized || !mPlug) return;
    IParam* param = mPlug->GetParam(paramIdx);
    if (!param) return;
    param->SetNormalized(param->GetNormalized(value));
}
