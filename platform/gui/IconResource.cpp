#include "platform/gui/IconResource.h"

QIcon LoadIconResource(unsigned nResourceId)
{
    return QIcon(QStringLiteral(":/icons/%1.png").arg(nResourceId));
}
