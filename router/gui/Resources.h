#pragma once
// The window's compiled-in resources (the program icon) live in a static
// library, so they are registered explicitly before first use.

namespace router {

inline constexpr const char* kIconPath = ":/router/router.png";

void InitRouterResources();

}  // namespace router
