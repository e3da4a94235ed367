#include "component/component_state.h"

namespace corvane::component {

ComponentState& component_state() {
  thread_local ComponentState state;
  return state;
}

}  // namespace corvane::component
