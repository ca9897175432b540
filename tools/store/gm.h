#pragma once
// General MIDI names, as the note sources write them.
#include <string>

namespace store {

// The program number (0 to 127) of a General MIDI program name, a short alias or a number;
// -1 when the text names none.
int gmProgram(const std::string& name);

// The General MIDI percussion key of a drum name; -1 when the text names none.
int drumKey(const std::string& name);

} // namespace store
