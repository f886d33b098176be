#!/usr/bin/python3
"""Figure 12, the web page, for orvane-bench: a Play clicked on one page to the tally lamp lit on a
second page (the real program, two headless Chromium pages), and the output window's frame work
with 4 pages connected against none (orvane-bench host web). Writes its figures as JSON.

Usage: web.py --bench ORVANE-BENCH --bin BIN_DIR --plays N --seconds S --result FILE"""
import argparse
import json
import os
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "web"))
from selenium.webdriver.common.by import By  # noqa: E402
from tst_webpage import Control, Orvane, browser, lamp, open_page, tile, wait_for  # noqa: E402

FRAME_MS = 40.0  # the window's frame period at the program's 25 frames a second


def play_to_lamp(plays):
    """Milliseconds from the click on Play on one page to the lamp lit on another, per Play."""
    orvane = Orvane()
    first, second = browser(), browser()
    try:
        open_page(first, orvane)
        open_page(second, orvane)
        control = Control(orvane.control)
        second.execute_script("""
            window.lit = [];
            const lamp = document.querySelector('[data-layer="3"] [data-onair]');
            let was = lamp.dataset.onair;
            new MutationObserver(() => {
                if (lamp.dataset.onair === 'true' && was !== 'true')
                    window.lit.push(Date.now());
                was = lamp.dataset.onair;
            }).observe(lamp, { attributes: true });""")
        times = []
        for k in range(plays):
            clicked = first.execute_script(
                "const t = Date.now(); document.querySelector('[data-layer=\"3\"] [data-do=\"play\"]').click(); return t;")
            wait_for(lambda: second.execute_script("return window.lit.length") > k, "the lamp lit")
            times.append(second.execute_script("return window.lit[window.lit.length - 1]") - clicked)
            time.sleep(1)  # past the fade-in: an Eject All within it leaves the layer shown
            control.ask({"do": "ejectAll"})
            wait_for(lambda: lamp(second, 3) == "false", "the lamp off")
            time.sleep(0.2)
        control.close()
        return times
    finally:
        first.quit()
        second.quit()
        orvane.stop()


def frame_work(bench, pages, seconds):
    """orvane-bench host web's figures once `pages` pages (tabs of one browser) are connected."""
    work = tempfile.mkdtemp(dir=os.environ.get("ORVANE_TEST_TMP", tempfile.gettempdir()), prefix="web-")
    port_file, result = os.path.join(work, "port"), os.path.join(work, "result.json")
    host = subprocess.Popen([bench, "host", "web", "--result", result, "--trace", os.path.join(work, "trace.log"),
                             "--pages", str(pages), "--port-file", port_file, "--seconds", str(seconds)])
    page = browser() if pages else None
    try:
        wait_for(lambda: os.path.exists(port_file) and open(port_file).read(), "the host's port", 120)
        url = "http://127.0.0.1:%s/" % open(port_file).read()
        for k in range(pages):
            if k:
                page.switch_to.new_window("tab")
            page.get(url)
        host.wait(timeout=600)
        with open(result) as f:
            return json.load(f)
    finally:
        if page:
            page.quit()
        host.kill()


def main():
    parser = argparse.ArgumentParser()
    for name in ("--bench", "--bin", "--result"):
        parser.add_argument(name, required=True)
    parser.add_argument("--plays", type=int, default=30)
    parser.add_argument("--seconds", type=float, default=10)
    args = parser.parse_args()
    os.environ["ORVANE_BIN_DIR"] = args.bin
    out = {"lampPeriods": [ms / FRAME_MS for ms in play_to_lamp(args.plays)],
           "pages0": frame_work(args.bench, 0, args.seconds),
           "pages4": frame_work(args.bench, 4, args.seconds)}
    with open(args.result, "w") as f:
        json.dump(out, f)


if __name__ == "__main__":
    main()
