#include "host/command_line/command.h"

namespace harrowtally::host {

namespace {
constexpr Command kCommands[] = {
    {"invoke", "STEP...   (STEP is NAME or NAME=VALUE)", run_invoke},
    {"download", "[--port N] [--format table|record|csv|json|xlsx] [--output FILE [--overwrite]] [--empty-after]",
     run_download},
    {"empty", "[--port N] [--set-clock now|TEXT] [--discard]", run_empty},
    {"collect", "--into FOLDER [--format xlsx|csv|json] [--port N] [--watch]", run_collect},
    {"ledger", "--into FOLDER [--last N]", run_ledger},
    {"clock", "[get|set] [--port N]", run_clock},
    {"params", "show LIST | apply SET [--discard] [--port N]", run_params},
    {"info", "", run_info},
};
}  // namespace

std::span<const Command> commands() {
    return kCommands;
}

}  // namespace harrowtally::host
