#pragma once

// The text of kavelo-cli --help.
namespace kavelo::cli {

const char* UsageText();

}  // namespace kavelo::cli
