// The input events of a step, dispatched to the objects that have them from the input state:
// keyboard, key press and key release; the joysticks; the mouse (global, and over the instances
// whose mask holds the pointer).
#pragma once

namespace kestro {

void DispatchKeyboardEvents();
void DispatchJoystickEvents();
void DispatchMouseEvents();
// The window was asked to close and the setting leaves it to the game: the close-button event
// for every instance.
void DispatchCloseButton();

}  // namespace kestro
