#include "player/env/current_user.h"

#include <atomic>

namespace orv {
namespace {
std::atomic<CurrentUserNameProvider*> g_provider{nullptr};
}

CurrentUserNameProvider* currentUserNameProvider() { return g_provider.load(); }

CurrentUserNameProvider* setCurrentUserNameProvider(CurrentUserNameProvider* provider) {
  return g_provider.exchange(provider);
}

}  // namespace orv
