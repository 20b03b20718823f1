#include "resources/artwork.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace.
static void registerCompiledResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace Artwork {

void registerResources()
{
    static const bool registered = (registerCompiledResources(), true);
    Q_UNUSED(registered);
}

}  // namespace Artwork
