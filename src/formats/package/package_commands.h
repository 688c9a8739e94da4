// The three package commands of the compiled command stream, from their
// line's parameters as stored (after path-variable expansion) to the
// package system. The Windows command classes only bind the host and call
// these.
//
//   "rkpupdate"       1 source folder (compile time only), 2 password
//                     (enciphered), 3 package file, 4 group number
//   "rkpofficial"     1 package file, 2 access code (enciphered), 3 flag text
//   "duplicateentry"  1 package file, 2 existing entry, 3 new entry
//
// Package files are relative to the install directory. Enciphered
// parameters use DigitKeyEncode with kCommandParamKey.
#pragma once

#include <span>
#include <string>

#include "formats/package/package_updater.h"

namespace ferry {

// Throws SetupError for a line with too few parameters or a group number
// that is not one; the package system's own failures pass through.
void RunRkpUpdateCommand(PackageUpdater& system, SetupEntrySource& setup, const std::string& installDir,
                         std::span<const std::string> params);
void RunRkpOfficialCommand(PackageUpdater& system, const std::string& installDir, std::span<const std::string> params);
void RunDuplicateEntryCommand(PackageUpdater& system, const std::string& installDir,
                              std::span<const std::string> params);

// The check the compiler makes on an "rkpupdate" password (plain text):
// empty when it is fine, else the message.
std::string CheckPackagePassword(std::string_view password);

}  // namespace ferry
