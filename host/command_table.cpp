#include "host/command.h"

namespace harrowtally::host {

namespace {
constexpr Command kCommands[] = {
    {"invoke", "STEP...   (STEP is NAME or NAME=VALUE)", run_invoke},
};
}  // namespace

std::span<const Command> commands() {
    return kCommands;
}

}  // namespace harrowtally::host
