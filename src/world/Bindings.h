// The binding tables of the game world's families; the program installs them where it is composed
// (SetBuiltinBindings, SetVariableBindings).
#pragma once

#include "script/builtins/BuiltinVariables.h"
#include "script/builtins/FunctionRegistry.h"

namespace kestro {

RBindingTable ErrorFunctions();    // show_error, show_debug_message
RBindingTable ExecuteFunctions();  // execute_string, execute_file, script_execute, get_function_address
RBindingTable InstanceFunctions();  // instance_*, position_* of instances
RBindingTable RoomFunctions();      // room_goto*, room_restart, room_previous/next, game_end/restart/save/load
RBindingTable EventFunctions();     // event_perform, event_perform_object, event_user, event_inherited
RBindingTable ActionFunctions();    // action_* of motion, instances, rooms, timing, questions, score, ...
RBindingTable CollisionFunctions();  // place_*, move_*, motion_*, distance_*, collision_*
RBindingTable PathFunctions();      // path_start, path_end, path_get_*, path_add, path_*_point, path_rotate, ...
RBindingTable TimeLineFunctions();  // timeline_exists, timeline_add, timeline_delete, timeline_moment_*, ...
RBindingTable SpriteFunctions();          // sprite_* of the sprite list, but those that read the screen
RBindingTable ObjectFunctions();          // object_*: settings, parents, events added and cleared
RBindingTable RoomResourceFunctions();    // room_* that change the designed rooms: room_set_*, room_add, ...
RBindingTable MotionFunctions();    // mp_linear_*, mp_potential_*, mp_grid_* (mp_grid_draw is the drawing layer's)

RVariableBindingTable InstanceVariables();  // x, y, speed, sprite_index, alarm, ... of the instance

// Built-in variables (SetVariableBindings).
RVariableBindingTable GameVariables();  // the game-wide group: room, score, views, backgrounds, ...

}  // namespace kestro
