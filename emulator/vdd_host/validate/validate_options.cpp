#include "emulator/vdd_host/validate/validate_command.h"

#include <CLI/CLI.hpp>

namespace varnix::vddhost {

namespace {

const char* const kValidateFooter =
    R"(Each round runs in a process of its own with a time limit; the seed and the
round number fix everything the host does in it. A failed round prints the
command that repeats it (vdd-host validate --seed S --round R), what failed
and the last host steps. Exit codes: 0 every round passed, 1 a round failed
(crashed, hung, broke the contract, lost or altered samples, left something
behind), 2 usage error, 3 module or station not found; 130 after Ctrl-C.
The round model and its weights: docs/vdd-host.md)";

}  // namespace

CLI::App* AddValidateCommand(CLI::App& app, HostOptions& options) {
    CLI::App* validate = app.add_subcommand(
        "validate",
        "Drive the plug-in through randomised host lifecycles, each round in its own process, and "
        "check every one: no crash, no hang, no contract violation, nothing lost or left behind");
    validate->footer(kValidateFooter);
    validate
        ->add_option(
            "-m,--module", options.modulePath,
            "Device plug-in module to validate (default: VarnixViconPlugin.vdd beside vdd-host, "
            "else in ../lib/varnix-vdd/ from it)")
        ->type_name("PATH");
    validate->add_option("--seed", options.seed, "Seed of the rounds (default: drawn, and printed)")
        ->type_name("S");
    validate->add_option("--rounds", options.rounds, "Rounds to run (default 10)")
        ->type_name("N")
        ->check(CLI::Range(1, 1000000));
    validate
        ->add_option("--strictness", options.strictness,
                     "1..10: longer rounds and more hostile host steps as it rises (default 5)")
        ->type_name("1..10")
        ->check(CLI::Range(1, 10));
    validate
        ->add_option("--round", options.round,
                     "Run round R only: with --seed, repeats a failed round")
        ->type_name("R")
        ->check(CLI::Range(1, 1000000));
    validate
        ->add_option("--timeout", options.roundTimeoutS,
                     "Seconds a round may take before it counts as hung (default: 30 + 5 x its "
                     "planned time)")
        ->type_name("SECONDS")
        ->check(CLI::PositiveNumber);
    validate->add_flag("--trace", options.trace,
                       "Print the host log of every round: every call between host and plug-in");
    validate->add_flag("-q,--quiet", options.quiet, "Print only failed rounds and the verdict");
    return validate;
}

}  // namespace varnix::vddhost
