#pragma once
// Standard input and output carrying bytes (a settings image, a PNG). Windows opens them in
// text mode, where CR LF and LF trade places and 0x1A ends the input.

namespace cli {

void BinaryStdin();
void BinaryStdout();

}  // namespace cli
