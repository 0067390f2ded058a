// What the running game must follow when game code changes its resources: objects, events and
// parents (the event lists and the per-object lists of the live rooms), sprites (the boxes of the
// instances that use them). Code may be running inside an event while it changes that very event
// or deletes that very object: what such code may still be executing or walking is retired, kept
// alive until the step is over, instead of freed.
#pragma once

#include <memory>

namespace kestro {

class CEvent;

// Keeps `thing` alive until ReleaseRetired.
void RetireUntilStepEnd(std::shared_ptr<void> thing);
// Frees everything retired; called by the main loop between steps, where no game code runs.
void ReleaseRetired();

// The event's actions in a new array (the old one retired), so running code keeps its actions.
void DetachActions(CEvent& event);
// Empties the event (its actions retired).
void ClearActions(CEvent& event);
// Deletes object `ind`, retiring it; false when there was nothing to delete.
bool DeleteObjectRetiring(int ind);

// Objects, parents or events changed: the event lists (and the collision pairs) are rebuilt, the
// lists being walked retired; when `parents` changed, the lists of each object and its
// descendants in every live room too.
void ObjectsChanged(bool parents);
// Sprite `ind` changed (images, masks, origin, or deleted): the instances of every live room that
// use it as sprite or mask get their boxes again.
void SpriteChanged(int ind);

}  // namespace kestro
