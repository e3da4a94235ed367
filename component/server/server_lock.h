// How many objects of the in-process server are alive and how many locks
// hosts hold: the library may be unloaded only when both are zero.
#pragma once

namespace corvane::component::server {

void object_created();
void object_destroyed();
void lock_server(bool lock);
// True when no object is alive and no lock is held.
[[nodiscard]] bool can_unload();

}  // namespace corvane::component::server
