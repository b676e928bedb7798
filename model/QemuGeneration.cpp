#include "model/QemuGeneration.h"

namespace QemuGeneration {

bool isModern(const QString& code)
{
    return code == QLatin1String(Modern);
}

bool takesBootOrder(const QString& code)
{
    return code == QLatin1String("0") || code == QLatin1String("1") || isModern(code);
}

bool offersIntegratedDisplay(int code)
{
    return code == 0 || code == 1 || code == 3;
}

} // namespace QemuGeneration
