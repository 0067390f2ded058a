// The binding tables of the drawing and input families; the program installs them where it is
// composed (SetBuiltinBindings, SetVariableBindings).
#pragma once

#include "script/builtins/BuiltinVariables.h"
#include "script/builtins/FunctionRegistry.h"

namespace kestro {

RBindingTable InputFunctions();          // keyboard_*, mouse_*, joystick_*, io_clear, io_handle
RBindingTable MotionGridDrawFunctions();  // mp_grid_draw
RVariableBindingTable InputVariables();  // mouse_x, mouse_y, mouse_button, keyboard_key, ...
RBindingTable ActionDrawFunctions();     // action_* that draw, read the mouse, wait or change the window
RBindingTable TileFunctions();           // tile_* of the current room
RBindingTable DrawFunctions();           // draw_* shapes, sprites, backgrounds, colours, textures, screen_*
RBindingTable SurfaceFunctions();        // surface_*, draw_surface*
RBindingTable TextFunctions();           // draw_text*, string_width/height*, font_*
RBindingTable WindowFunctions();         // display_*, window_*, set_synchronization, screen_wait_vsync
RBindingTable ScreenResourceFunctions();  // sprite_* and background_* made from the screen or a surface
RBindingTable D3dFunctions();            // d3d_*: the 3-D mode, cameras, transformations, shapes, lights, models
RBindingTable TransitionFunctions();      // transition_define, transition_exists
RBindingTable PlatformFunctions();        // sleep, Zarn_GetPlatform, Zarn_GetDevice

}  // namespace kestro
