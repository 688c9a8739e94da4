// The file-name check of start-up: a browser or a copy may have renamed the
// setup program to "setup(2).exe" or "setup[1].exe"; those still count as
// the expected name.
#pragma once

#include <string>
#include <string_view>

namespace ferry {

// Drops every "(...)" and then every "[...]" group that is empty or holds only
// the digits 1 to 9; other groups and unclosed brackets stay.
std::string NormaliseSetupName(std::string_view found);

// True when the normalised found name equals expected exactly. The caller
// passes both names lower-cased and without folders.
bool MatchesSetupName(std::string_view found, std::string_view expected);

}  // namespace ferry
