#!/usr/bin/python3
"""A plug-in module built for the other processor (a 64-bit DLL beside the 32-bit clock, a
32-bit one beside the x86-64 build) runs in a helper process of its own without being asked,
and takes its slot and its ticks like a module inside the clock."""

import unittest

import harness

OTHER_RECORDER = harness.OTHER_BUILD_DIR / "voRecB.dll"
OTHER_PROBE = harness.OTHER_BUILD_DIR / "probe.exe"


class OtherProcessor(harness.ClockTestCase):
    def skip_unless_the_other_processor_runs(self):
        for needed in (OTHER_RECORDER, OTHER_PROBE, harness.OTHER_HELPER):
            if not needed.exists():
                self.skipTest(f"{needed} is missing: the other processor's build is not made")
        tried = self.wine.run(OTHER_PROBE, "toplevel", timeout=120)
        if tried.returncode != 0:
            said = (tried.stdout + tried.stderr).decode("cp932", "replace").split("\n")
            said = " / ".join(filter(None, map(str.strip, said))) or "nothing said"
            self.skipTest(f"{harness.WINE} cannot start the other processor's programs here, "
                          f"its helper included ({OTHER_PROBE.name} of "
                          f"{harness.pe_machine(OTHER_PROBE)}: exit {tried.returncode}, "
                          f"{said}); a kernel without 32-bit support runs no 32-bit Wine")

    def test_module_of_the_other_processor_runs_apart_in_its_slot(self):
        self.skip_unless_the_other_processor_runs()
        clock = self.start_clock(plugins=("voRecA.DLL", OTHER_RECORDER), recorder=True)
        log = clock.recorder
        self.wait_until(lambda: log.ticks_after(tag="B") >= 5, 30,
                        message="ticks of the other processor's module (voRecB, apart)")
        helpers = self.wine.helper_processes().values()
        self.assertTrue(any(harness.OTHER_HELPER.name in command.lower() for command in helpers),
                        f"no {harness.OTHER_HELPER.name} runs the other processor's module: "
                        f"{list(helpers)}")
        self.wine.probe("close")
        self.assertEqual(0, clock.wait(15))

        self.assertEqual([("enable", "A"), ("enable", "B"), ("disable", "A"), ("disable", "B")],
                         log.sequence("enable", "disable"),
                         "the module apart is enabled and disabled in its slot's turn")
        ticks = {tag: [r["value"] for r in log.events()
                       if r.kind == "notifyfreq" and r["tag"] == tag] for tag in "AB"}
        self.assertLessEqual(set(ticks["B"]), set(ticks["A"]),
                             "the module apart got date-time values no tick gave the module "
                             "inside")


if __name__ == "__main__":
    unittest.main(verbosity=2)
