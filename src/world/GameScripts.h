// The game's side of the script language: names resolve to the game's scripts and resources, the
// game's scripts are the script table, its constants are defined and its scripts compiled while
// the game is prepared.
#pragma once

#include <string_view>

#include "script/NameLookup.h"

namespace kestro {

struct CGameSettings;

// The run's lookup: scripts of the game data, then extension functions, then built-in functions; for constants the
// resource names, trigger constants, then the constant table from its newest entry.
const IScriptNames& GameScriptNames();
// Installs GameScriptNames() as the lookup every compile uses, and the game's scripts as the
// script table code calls.
void InstallGameScriptNames();
// The game's scripts as the script table alone.
void InstallGameScriptTable();

// The language's run-wide switches from the game's settings: uninitialised variables read as 0,
// argument counts checked.
void ApplyLanguageSettings(const CGameSettings& settings);

// Checks the name, computes the value text as an expression and adds it; false after a message.
bool DefineGameConstant(std::string_view name, std::string_view valueText);
// Defines the game's constants in stored order; false at the first failure.
bool DefineGameConstants();
// Compiles every script of the game as a program; the first failure is reported as a fatal
// error naming the script, and gives false.
bool CompileGameScripts();

}  // namespace kestro
