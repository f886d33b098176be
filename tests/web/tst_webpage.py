#!/usr/bin/python3
"""The web page end to end: the real program with --web (and --control) under the test's display,
driven from headless Chromium pages and checked over the control port and raw HTTP."""
import json
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import traceback

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import Select, WebDriverWait

TMP = os.environ.get("ORVANE_TEST_TMP", tempfile.gettempdir())


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for(condition, what, timeout=30):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(0.05)
    raise AssertionError("timed out waiting for " + what)


class Control:
    """One connection of the control port: requests and their answers, events skipped."""

    def __init__(self, port):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=10)
        self.file = self.sock.makefile("rb")

    def ask(self, request):
        self.sock.sendall(json.dumps(request).encode() + b"\n")
        while True:
            line = json.loads(self.file.readline())
            if "event" not in line:
                return line

    def close(self):
        self.sock.close()


class Orvane:
    """The program in a home of its own, once its scenes answer on the control port."""

    def __init__(self, token=None, extra=(), scenes=None):
        self.web, self.control = free_port(), free_port()
        self.home = tempfile.mkdtemp(dir=TMP, prefix="webpage-")
        env = dict(os.environ)
        for name, sub in (("HOME", "home"), ("XDG_DATA_HOME", "data"), ("XDG_CONFIG_HOME", "config"),
                          ("XDG_CACHE_HOME", "cache"), ("logDir", "log")):
            env[name] = os.path.join(self.home, sub)
            os.makedirs(env[name])
        if scenes:  # a data directory holding these scenes' containers
            data = os.path.join(self.home, "scenes")
            for scene, container in scenes.items():
                os.makedirs(os.path.join(data, scene))
                with open(os.path.join(data, scene, scene + ".gfxc"), "w") as f:
                    json.dump(dict(container, graphics_id=scene), f)
            os.makedirs(os.path.join(env["XDG_DATA_HOME"], "Quarnet", "Orvane"))
            with open(os.path.join(env["XDG_DATA_HOME"], "Quarnet", "Orvane", "output_config.json"), "w") as f:
                json.dump({"directory": data}, f)
        env.pop("ORVANE_CONTROL_TOKEN", None)
        if token:
            env["ORVANE_CONTROL_TOKEN"] = token
        self.log = open(os.path.join(self.home, "trace.txt"), "wb")
        self.process = subprocess.Popen([os.environ["ORVANE_BIN_DIR"] + "/Orvane", "--web", str(self.web), "--control", str(self.control)] + list(extra),
                                        env=env, stdout=self.log, stderr=subprocess.STDOUT)

        def ready():
            assert self.process.poll() is None, "the program ended: " + self.trace()
            try:
                c = Control(self.control)
            except OSError:
                return False
            try:
                if token:
                    c.ask({"do": "hello", "token": token})
                return len(c.ask({"do": "scenes"}).get("scenes", [])) == 9
            except OSError:  # a start on a busy machine answers late: ask again
                return False
            finally:
                c.close()

        wait_for(ready, "the program's scenes", 60)
        time.sleep(1)  # the clock reads 0 until its first beat

    def url(self, path="/"):
        return "http://127.0.0.1:%d%s" % (self.web, path)

    def trace(self, last=3000):
        with open(self.log.name, "rb") as f:
            return f.read().decode(errors="replace")[-last:]

    def stop(self):
        self.process.kill()
        self.process.wait()
        self.log.close()


def browser():
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for arg in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                "--disable-background-networking", "--disable-component-update", "--disable-sync",
                "--disable-dev-shm-usage", "--window-size=1280,900",
                "--user-data-dir=" + tempfile.mkdtemp(dir=TMP, prefix="chromium-")):
        options.add_argument(arg)
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


def tile(page, layer):
    return page.find_element(By.CSS_SELECTOR, '[data-layer="%d"]' % layer)


def lamp(page, layer):
    return tile(page, layer).find_element(By.CSS_SELECTOR, "[data-onair]").get_attribute("data-onair")


def open_page(page, orvane):
    page.get(orvane.url())
    wait_for(lambda: len(page.find_elements(By.CSS_SELECTOR, "[data-layer]")) == 12, "12 tiles")
    wait_for(lambda: len(tile(page, 1).find_elements(By.CSS_SELECTOR, "select[data-scene] option")) == 9,
             "the scenes in the chooser")


def http(port, raw):
    """The status line of the answer to one raw request ('' when the connection just ends)."""
    with socket.create_connection(("127.0.0.1", port), timeout=10) as s:
        s.sendall(raw)
        answer = b""
        while b"\r\n" not in answer:
            more = s.recv(4096)
            if not more:
                break
            answer += more
        return answer.split(b"\r\n")[0].decode(errors="replace")


def exchange(page, message):
    """The first answer to `message` on a new WebSocket of the page, or the code it closed with."""
    return page.execute_async_script("""
        const done = arguments[1];
        const ws = new WebSocket('ws://' + location.host + '/control');
        ws.onopen = () => ws.send(arguments[0]);
        ws.onmessage = (e) => { done(JSON.parse(e.data)); ws.close(); };
        ws.onclose = (e) => done(e.code);""", message)


def accent(page, colour):
    """The lower third's accent bar in the page's program picture is mostly `colour` (0 red,
    1 green): that channel well above the others on average."""
    rgb = page.execute_script("""
        const image = document.querySelector('[data-program-image]'), canvas = document.createElement('canvas');
        if (!image.complete || !image.naturalWidth) return null;
        [canvas.width, canvas.height] = [image.naturalWidth, image.naturalHeight];
        const g = canvas.getContext('2d'), s = canvas.width / 1920, sum = [0, 0, 0];
        g.drawImage(image, 0, 0);
        // the bar: x 192 to 204 and y 796 to 972 of 1920 x 1080
        const d = g.getImageData(Math.round(193 * s), Math.round(820 * s), 2, Math.round(120 * s)).data;
        d.forEach((v, i) => { if (i % 4 < 3) sum[i % 4] += v / (d.length / 4); });
        return sum;""")
    return rgb is not None and all(rgb[colour] > rgb[c] + 60 for c in range(3) if c != colour)


# a lower third and a score (whose template offers the trigger "period")
TEMPLATE_SCENES = {"SCENE-03": {"template_name": "lower-third", "template_params": [
                       {"name": "name", "value": "Ada"}, {"name": "title", "value": "Mathematician"},
                       {"name": "accent", "value": "#f2a900"}]},
                   "SCENE-04": {"template_name": "score", "template_params": {"home": "RED", "away": "BLU"}}}


def test_play_tally_and_refusal(orvane, first, second):
    open_page(first, orvane)
    open_page(second, orvane)
    assert "Output 0" in first.title, first.title
    control = Control(orvane.control)

    # Play on a tile: the layer goes on air, on the second page and over the control port
    Select(tile(first, 3).find_element(By.CSS_SELECTOR, "select[data-scene]")).select_by_value("SCENE-02")
    tile(first, 3).find_element(By.CSS_SELECTOR, '[data-do="play"]').click()
    wait_for(lambda: lamp(second, 3) == "true", "the second page's lamp of layer 3")
    layer = control.ask({"do": "state"})["layers"][2]
    assert layer["onAir"] and layer["scene"] == "SCENE-02", layer
    wait_for(lambda: tile(second, 3).find_element(By.CSS_SELECTOR, ".status").text == "Play", "status Play")

    # a Play from elsewhere lights the pages' lamps
    assert control.ask({"do": "play", "layer": 5, "scene": "SCENE-04"})["ok"]
    wait_for(lambda: lamp(first, 5) == "true", "the first page's lamp of layer 5")

    # the window's key on the selected tile: F1 stops layer 3, seen on the other page
    tile(second, 3).click()
    second.find_element(By.TAG_NAME, "body").send_keys(Keys.F1)
    wait_for(lambda: lamp(first, 3) == "false", "layer 3 off air after F1")
    assert control.ask({"do": "state"})["layers"][2]["onAir"] is False

    # Eject All from the page
    first.find_element(By.CSS_SELECTOR, '[data-do="ejectAll"]').click()
    wait_for(lambda: lamp(second, 5) == "false", "layer 5 off air after Eject All")

    # a request the control port refuses is refused the same way and shown
    first.execute_script("""
        const s = document.querySelector('[data-layer="4"] select[data-scene]');
        s.add(new Option('NO-SUCH-SCENE', 'NO-SUCH-SCENE')); s.value = 'NO-SUCH-SCENE';""")
    tile(first, 4).find_element(By.CSS_SELECTOR, '[data-do="cue"]').click()
    message = first.find_element(By.CSS_SELECTOR, "[data-message]")
    wait_for(lambda: "scene names no scene" in message.text, "the refusal on the page")
    assert control.ask({"do": "state"})["layers"][3]["loaded"] is False
    # the page's requests are traced with the peer, as the control port's are
    assert "(web)" in orvane.trace() and '"do":"cue"' in orvane.trace()

    # the lower third on a tile: the form holds its scene's fields and values, in their order
    two = tile(first, 2)
    Select(two.find_element(By.CSS_SELECTOR, "select[data-scene]")).select_by_value("SCENE-03")
    two.find_element(By.CSS_SELECTOR, '[data-do="play"]').click()
    two.find_element(By.CSS_SELECTOR, "details.data summary").click()
    fields = lambda page: [(i.get_attribute("name"), i.get_attribute("value"))
                           for i in tile(page, 2).find_elements(By.CSS_SELECTOR, "[data-fields] input")]
    wait_for(lambda: fields(first) == [("name", "Ada"), ("title", "Mathematician"), ("accent", "#f2a900")],
             "the scene's fields in the form")
    wait_for(lambda: accent(first, 0), "the orange accent in the program picture")
    # the producer corrects the name (a wider plate) and the colour and presses Update: the
    # template on air takes them, in place, and the other page shows them
    for name, value in (("name", "Ada Lovelace"), ("accent", "#00ff00")):
        two.find_element(By.CSS_SELECTOR, "input[name=%s]" % name).clear()
        two.find_element(By.CSS_SELECTOR, "input[name=%s]" % name).send_keys(value)
    two.find_element(By.CSS_SELECTOR, '[data-do="update"]').click()
    wait_for(lambda: accent(first, 1), "the green accent on air")
    wait_for(lambda: ("accent", "#00ff00") in fields(second), "the new data on the other page")
    # text typed there and not yet sent stays when the form shows data changed elsewhere
    tile(second, 2).find_element(By.CSS_SELECTOR, "details.data summary").click()
    title = tile(second, 2).find_element(By.CSS_SELECTOR, "input[name=title]")
    title.clear()
    title.send_keys("Countess")
    second.execute_script("document.activeElement.blur()")
    assert control.ask({"do": "update", "layer": 2, "data": {"accent": "#0000ff"}})["ok"]
    wait_for(lambda: ("accent", "#0000ff") in fields(second), "the blue accent on the other page")
    assert ("title", "Countess") in fields(second), fields(second)

    # a scene whose template offers triggers: Continue sends the one chosen
    seven = tile(first, 7)
    Select(seven.find_element(By.CSS_SELECTOR, "select[data-scene]")).select_by_value("SCENE-04")
    seven.find_element(By.CSS_SELECTOR, '[data-do="play"]').click()
    triggers = seven.find_element(By.CSS_SELECTOR, "select[data-trigger]")
    wait_for(triggers.is_displayed, "the score's triggers")
    assert [(o.get_attribute("value"), o.text) for o in Select(triggers).options] == [("period", "Next period")]
    seven.find_element(By.CSS_SELECTOR, '[data-do="continue"]').click()
    wait_for(lambda: '"do":"continue","layer":7,"scene":"SCENE-04","trigger":"period"' in orvane.trace(10**8),
             "Continue with the trigger")

    # a Play in the window itself (its F2 on the operator's selection) lights the pages' lamps
    assert control.ask({"do": "select", "layer": 8, "scene": "SCENE-05"})["ok"]
    window = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(orvane.process.pid)],
                            capture_output=True, text=True, check=True).stdout.split()[0]
    subprocess.run(["xdotool", "windowfocus", "--sync", window], check=True)
    subprocess.run(["xdotool", "key", "F2"], check=True)
    wait_for(lambda: lamp(first, 8) == "true" and lamp(second, 8) == "true", "the lamps of the window's Play")
    control.close()


def test_bad_requests(orvane, page):
    assert http(orvane.web, b"GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n").endswith("200 OK")
    # through the server end to end; which names map to which file is tst_pagefiles' to check
    for target in (b"/../CMakeLists.txt", b"/%2e%2e/CMakeLists.txt", b"/etc/passwd"):
        status = http(orvane.web, b"GET " + target + b" HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
        assert status.endswith("404 Not Found"), (target, status)
    # another site's name for this machine (a rebinding attack) reaches nothing
    assert " 403 " in http(orvane.web, b"GET / HTTP/1.1\r\nHost: evil.example\r\n\r\n")
    # oversized and malformed requests end their own connection only
    assert " 431 " in http(orvane.web, b"GET / HTTP/1.1\r\nX: " + b"a" * 20000 + b"\r\n\r\n")
    assert " 400 " in http(orvane.web, b"NOT HTTP AT ALL\r\n\r\n")
    # a WebSocket from another site's page is refused
    assert " 403 " in http(orvane.web, b"GET /control HTTP/1.1\r\nHost: 127.0.0.1:%d\r\nUpgrade: websocket\r\n"
                           b"Connection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                           b"Sec-WebSocket-Version: 13\r\nOrigin: http://evil.example\r\n\r\n" % orvane.web)
    open_page(page, orvane)
    # a request of 40 000 bytes is answered; one longer than a request line closes that socket
    # alone
    assert exchange(page, '{"do":"state","pad":"' + "x" * 40000 + '"}')["ok"] is True
    code = exchange(page, '{"do":"state","pad":"' + "x" * 70000 + '"}')
    # 1009 "too big", or 1006 when the close reaches the browser before the rest of its message has
    # left (the server then resets the connection)
    assert code in (1006, 1009), code
    # the page's WebSockets count towards the control port's 16 connections
    others = [Control(orvane.control) for _ in range(15)]
    assert exchange(page, '{"do":"state"}') == {"id": None, "ok": False, "error": "too many connections"}
    for c in others:
        c.close()
    assert lamp(page, 2) == "false"
    tile(page, 2).find_element(By.CSS_SELECTOR, '[data-do="play"]').click()
    wait_for(lambda: lamp(page, 2) == "true", "the page still plays after another socket was closed")
    # the program picture, from the output's frames
    wait_for(page.find_element(By.CSS_SELECTOR, "[data-program]").is_displayed, "the program picture")
    with socket.create_connection(("127.0.0.1", orvane.web), timeout=10) as s:
        s.sendall(b"GET /program.jpg HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n")
        answer = b""
        while True:
            more = s.recv(65536)
            if not more:
                break
            answer += more
    assert answer.startswith(b"HTTP/1.1 200 OK") and b"\r\n\r\n\xff\xd8" in answer, answer[:300]


def test_token(orvane, page):
    page.get(orvane.url())
    token = page.find_element(By.CSS_SELECTOR, "input[name=token]")
    wait_for(token.is_displayed, "the token prompt")
    assert not page.find_elements(By.CSS_SELECTOR, "[data-layer]")
    token.send_keys("wrong" + Keys.ENTER)
    wait_for(lambda: "not this output" in page.find_element(By.CSS_SELECTOR, "[data-token-error]").text,
             "the wrong token refused")
    token.clear()
    token.send_keys("s3cret-token" + Keys.ENTER)
    wait_for(lambda: len(page.find_elements(By.CSS_SELECTOR, "[data-layer]")) == 12, "tiles after the token")
    assert not token.is_displayed()
    # the tab keeps the token: a reload asks no more
    page.refresh()
    wait_for(lambda: len(page.find_elements(By.CSS_SELECTOR, "[data-layer]")) == 12, "tiles after a reload")
    assert not page.find_element(By.CSS_SELECTOR, "input[name=token]").is_displayed()


def main():
    failures = 0
    tests = (("play, tally, data and refusal", None, ("--output", "fakesink"), 2, test_play_tally_and_refusal),
             ("bad requests and the program picture", None, ("--output", "fakesink"), 1, test_bad_requests),
             ("token", "s3cret-token", (), 1, test_token))
    only = sys.argv[1:]
    for name, token, extra, pages, test in tests:
        if only and test.__name__ not in only:
            continue
        orvane = Orvane(token, extra, TEMPLATE_SCENES)
        browsers = [browser() for _ in range(pages)]
        try:
            test(orvane, *browsers)
            print("PASS", name)
        except Exception as e:  # one failing test does not hide the others
            failures += 1
            print("FAIL", name, repr(e), traceback.format_exc())
            print(orvane.trace())
        finally:
            for b in browsers:
                b.quit()
            orvane.stop()
            shutil.rmtree(orvane.home, ignore_errors=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
