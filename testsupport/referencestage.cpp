#include "referencestage.h"

// Outside any namespace, as the resource's registration wants.
static void registerReference()
{
    Q_INIT_RESOURCE(reference);
}

QString ReferenceStage::resourceName()
{
    static const bool registered = (registerReference(), true);
    Q_UNUSED(registered)
    return QStringLiteral(":/reference/scene.frag");
}
