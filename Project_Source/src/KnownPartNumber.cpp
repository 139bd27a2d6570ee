#include "KnownPartNumber.h"

#include "SysexFamily.h"
#include "kit/plugin/IParam.h"
#include "kit/plugin/IPluginBase.h"

namespace
{

constexpr int32_t kNothingSeen = INT32_MIN;

} // namespace

void KnownPartNumber::follow(const IPluginBase* plug, int id)
{
    mPlug = plug;
    mId = id;
}

int32_t KnownPartNumber::paramNow() const
{
    const IParam* param = mPlug ? mPlug->GetParam(mId) : nullptr;
    return param ? SysexFamily::wholeValue(param->Value()) : kNothingSeen;
}

KnownPartNumber& KnownPartNumber::operator=(int32_t value)
{
    mSeen = paramNow();
    mValue = value;
    return *this;
}

void KnownPartNumber::followed(int32_t value)
{
    // The number first: a reader between the two stores sees the parameter, which holds it.
    mValue = value;
    mSeen = value;
}

int32_t KnownPartNumber::load() const
{
    const int32_t now = paramNow();
    const int32_t value = mValue;
    return now == kNothingSeen || now == mSeen ? value : now;
}
