#include "Resources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE declares the initialiser in the enclosing namespace, which
// must be the global one.
static void InitResourcesOnce() { Q_INIT_RESOURCE(router); }

namespace router {

void InitRouterResources() {
    static const bool done = (InitResourcesOnce(), true);
    (void)done;
}

}  // namespace router
