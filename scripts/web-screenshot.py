#!/usr/bin/python3
"""The picture of the web page: the real program with --web and a program output, two layers on
air, one tile's data form open, shot by headless Chromium. Run by scripts/web-screenshot.sh."""
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "web"))
from tst_webpage import TEMPLATE_SCENES, Control, Orvane, browser, lamp, open_page, tile, wait_for  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402

out = sys.argv[1]
orvane = Orvane(extra=("--output", "fakesink"), scenes=TEMPLATE_SCENES)
page = browser()
try:
    page.set_window_size(1600, 1000)
    control = Control(orvane.control)
    control.ask({"do": "play", "layer": 2, "scene": "SCENE-03"})
    control.ask({"do": "play", "layer": 5, "scene": "SCENE-04"})  # the score, over the lower third
    control.ask({"do": "cue", "layer": 7, "scene": "SCENE-01"})
    open_page(page, orvane)
    wait_for(lambda: lamp(page, 2) == "true" and lamp(page, 5) == "true", "layers 2 and 5 on air")
    wait_for(page.find_element(By.CSS_SELECTOR, "[data-program]").is_displayed, "the program picture")
    tile(page, 2).click()
    tile(page, 2).find_element(By.CSS_SELECTOR, "details").click()
    # the lower third's fields, from its scene; the producer corrects the name
    name = wait_for(lambda: tile(page, 2).find_elements(By.CSS_SELECTOR, 'input[name="name"]'), "the fields")[0]
    name.clear()
    name.send_keys("Ada Quill")
    tile(page, 2).find_element(By.CSS_SELECTOR, '[data-do="update"]').click()
    time.sleep(1.5)  # a picture of the layers on air
    page.save_screenshot(out)
    control.close()
finally:
    page.quit()
    orvane.stop()
