#!/usr/bin/env python3
"""The web page of the US states' cartogram, made by the command line in a temporary folder, in
headless Chromium driven through Selenium: no console error, the tooltip's error is the exported
shapefile's, the toggle ends on the input's coordinates and back, a phone's width fits.

Usage: html_page_test.py CLI SOURCE_DIR [--screenshot PNG] [--chromium PATH] [--chromedriver PATH]
"""
import argparse
import io
import os
import re
import subprocess
import sys
import tempfile
import unittest

from osgeo import ogr
from PIL import Image
from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

ARGS = None
STATE = "Colorado"  # a state whose box's centre lies inside it


def make_page(folder):
    """Runs the cartogram of the US states with a web page; returns the page and the result."""
    page = os.path.join(folder, "states.html")
    source = os.path.join(ARGS.source, "examples", "us_states", "us_states.shp")
    subprocess.run([ARGS.cli, "cartogram", source, "--field", "POP", "--output-dir", folder, "--html", page,
                    "--color-by", "error", "--title", "US states sized by population"],
                   check=True, stdout=subprocess.DEVNULL)
    # The result is exported as the round file with the highest number (us_states_<round>.shp).
    rounds = {int(m.group(1)): m.group(0) for m in map(re.compile(r"us_states_(\d+)\.shp$").match, os.listdir(folder))
              if m}
    assert rounds, "the run exported no round: " + ", ".join(sorted(os.listdir(folder)))
    return page, source, os.path.join(folder, rounds[max(rounds)])


def read_states(path):
    """Every state's (area, POP, vertices) in a shapefile, by name."""
    states, dataset = {}, ogr.Open(path)  # the layer lives only as long as its dataset
    for f in dataset.GetLayer():
        g = f.GetGeometryRef()
        rings = [r for p in ([g] if g.GetGeometryName() == "POLYGON" else g) for r in p]
        states[f.GetField("NAME")] = (g.GetArea(), f.GetField("POP"), [p for r in rings for p in r.GetPoints()])
    return states


def deviations(result_path):
    """A/D - 1 of every state from the exported result's areas and the POP field."""
    states = read_states(result_path)
    total_area, total_size = (sum(column) for column in zip(*(s[:2] for s in states.values())))
    return {name: (area / total_area) / (size / total_size) - 1 for name, (area, size, _) in states.items()}


def path_points(d):
    numbers = [float(x) for x in d.replace("M", " ").replace("Z", " ").split()]
    return list(zip(numbers[0::2], numbers[1::2]))


def start_browser():
    options = webdriver.ChromeOptions()
    for argument in ("--headless=new", "--no-sandbox", "--disable-dev-shm-usage", "--window-size=1200,1000",
                     "--hide-scrollbars", "--force-device-scale-factor=1"):
        options.add_argument(argument)
    options.binary_location = ARGS.chromium
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    return webdriver.Chrome(service=Service(ARGS.chromedriver), options=options)


class HtmlPageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        cls.page, cls.source, cls.result = make_page(cls.folder.name)
        cls.browser = start_browser()
        cls.browser.get("file://" + cls.page)

    @classmethod
    def tearDownClass(cls):
        cls.browser.quit()
        cls.folder.cleanup()

    def path_of(self, name):
        return self.browser.find_element(By.CSS_SELECTOR, 'path[aria-label="%s"]' % name)

    def all_d(self):
        return self.browser.execute_script(
            "return Array.from(document.querySelectorAll('path[data-i]'), p => p.getAttribute('d'));")

    def toggle_and_wait(self, press, state):
        press()
        WebDriverWait(self.browser, 5).until(
            lambda b: b.find_element(By.ID, "map").get_attribute("data-state") == state)

    def test_1_loads_without_console_errors(self):
        self.assertEqual(len(self.browser.find_elements(By.CSS_SELECTOR, "path[data-i]")), 49)
        self.assertEqual([e for e in self.browser.get_log("browser") if e["level"] in ("SEVERE", "WARNING")], [])
        self.assertEqual(self.browser.find_element(By.TAG_NAME, "h1").text, "US states sized by population")
        self.assertGreater(len(self.browser.find_elements(By.CSS_SELECTOR, ".legend li")), 2)

    def test_2_hover_names_the_state_and_its_error(self):
        ActionChains(self.browser).move_to_element(self.path_of(STATE)).perform()
        lines = self.browser.find_element(By.ID, "tip").text.splitlines()
        self.assertEqual(lines[0], STATE)
        error_line = next(line for line in lines if line.startswith("Error A/D"))
        shown = float(error_line.split()[-2].replace("\u2212", "-").replace("+", "")) / 100
        self.assertAlmostEqual(shown, deviations(self.result)[STATE], delta=0.002)
        self.assertTrue(any(line.startswith("POP") for line in lines))

    def test_3_toggle_moves_every_polygon_onto_the_input_and_back(self):
        cartogram = self.all_d()
        self.toggle_and_wait(lambda: self.browser.find_element(By.ID, "toggle").click(), "map")
        original = self.all_d()
        self.assertTrue(all(a != b for a, b in zip(cartogram, original)))
        svg = self.browser.find_element(By.ID, "map")
        x0, y0, scale = (float(svg.get_attribute(a)) for a in ("data-x0", "data-y0", "data-scale"))
        names = self.browser.execute_script(
            "return Array.from(document.querySelectorAll('path[data-i]'), p => p.getAttribute('aria-label'));")
        shown = {name: {(round(10 * x), round(10 * y)) for x, y in path_points(d)} for name, d in zip(names, original)}
        # Every input vertex of every state is a point of its path, in the page's tenths.
        for name, (_, _, vertices) in read_states(self.source).items():
            for x, y, *_ in vertices:
                px, py = round(10 * (x - x0) * scale), round(10 * (y0 - y) * scale)
                self.assertTrue(any((px + dx, py + dy) in shown[name] for dx in (-1, 0, 1) for dy in (-1, 0, 1)),
                                "%s: input vertex (%g, %g) is not on the page" % (name, x, y))
        body = self.browser.find_element(By.TAG_NAME, "body")
        self.toggle_and_wait(lambda: body.send_keys("a"), "cartogram")
        self.assertEqual(self.all_d(), cartogram)

    def test_4_phone_width_keeps_the_page_and_tooltip_on_screen(self):
        self.browser.set_window_size(390, 844)
        try:
            overflow = self.browser.execute_script(
                "return document.documentElement.scrollWidth - document.documentElement.clientWidth;")
            self.assertLessEqual(overflow, 0)
            ActionChains(self.browser).move_to_element(self.path_of("Maine")).perform()
            box = self.browser.execute_script(
                "var r = document.getElementById('tip').getBoundingClientRect();"
                "return [r.left, r.top, r.right, r.bottom, document.documentElement.clientWidth,"
                " document.documentElement.clientHeight];")
            left, top, right, bottom, width, height = box
            self.assertTrue(left >= 0 and top >= 0 and right <= width and bottom <= height, box)
        finally:
            self.browser.set_window_size(1200, 1000)

    def test_5_screenshot_is_not_blank(self):
        ActionChains(self.browser).move_to_element(self.path_of(STATE)).perform()
        png = self.browser.get_screenshot_as_png()
        if ARGS.screenshot:
            with open(ARGS.screenshot + ".tmp", "wb") as out:
                out.write(png)
            os.replace(ARGS.screenshot + ".tmp", ARGS.screenshot)
        colours = Image.open(io.BytesIO(png)).convert("RGB").getcolors(maxcolors=1 << 20)
        self.assertGreater(len(colours), 20)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("cli")
    parser.add_argument("source")
    parser.add_argument("--screenshot", help="keep the screenshot here")
    parser.add_argument("--chromium", default="/usr/bin/chromium")
    parser.add_argument("--chromedriver", default="/usr/bin/chromedriver")
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
