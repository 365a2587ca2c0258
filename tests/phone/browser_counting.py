#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Kotrina developers
"""Counting from a phone, in a real browser.

Starts `kotrina serve` on a business file made with the sqlite3 program, and drives headless
Chromium at a phone's size through the counting page as a helper on the shop floor does:
pairing with the printed URL, a search, a count, a change, a scanned code, a delete, a refusal
of the server; a line counted while the server is down, kept by the page and sent once after
the server came back. The file is read with the sqlite3 program after each step.

    browser_counting.py KOTRINA TEMPLATE                 the tests
    browser_counting.py KOTRINA TEMPLATE --pictures DIR  the manual's pictures of the page

Without Chromium, its driver or Selenium the tests are skipped (status 77), except in CI.
"""
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import urllib.error
import urllib.request

DATE = "2026-03-31"
SKIPPED = 77

try:
    from selenium import webdriver
    from selenium.common.exceptions import TimeoutException
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support.ui import Select, WebDriverWait
except ImportError:
    webdriver = None

CHROMIUM = "/usr/bin/chromium"
DRIVER = "/usr/bin/chromedriver"

KOTRINA = TEMPLATE = None


def browser_missing():
    if webdriver is None:
        return "python3-selenium is not installed"
    for path in (CHROMIUM, DRIVER):
        if not os.access(path, os.X_OK):
            return f"{path} is not installed"
    return None


# ---- The business file ------------------------------------------------------------------------

MASTERS = """
INSERT INTO 項目分類 VALUES (0, '未区分'), (1, '食品'), (2, '雑貨');
INSERT INTO 単位 VALUES (1, '個'), (2, '本'), (3, '冊');
INSERT INTO 仕入商品 VALUES (1, 'りんご', 120, '個'), (2, 'りんごジュース', 150, '本'), (3, 'ﾒﾓ帳', 80, '冊'),
                           (4, 'みかん（箱）', 1800, '箱');
INSERT INTO 商品コード VALUES ('4901234567894', 1, 0);
INSERT INTO 棚卸マスター VALUES (1, '2025-03-31', 1, 'りんご', 7, '個', 110, 770, NULL, NULL, 1, 0);
"""


def make_file(folder):
    """A business file made by the sqlite3 program from the template's table definitions and
    version, with masters and a line of an earlier date, as another program would leave it."""
    schema = subprocess.run(["/usr/bin/sqlite3", TEMPLATE, ".schema"], capture_output=True, text=True, check=True)
    version = subprocess.run(["/usr/bin/sqlite3", TEMPLATE, "PRAGMA user_version"], capture_output=True, text=True,
                             check=True).stdout.strip()
    path = os.path.join(folder, "店舗.idb")
    script = f"PRAGMA application_id = 1263817294; PRAGMA user_version = {version};\n" + schema.stdout + MASTERS
    made = subprocess.run(["/usr/bin/sqlite3", "-bail", path], input=script, text=True, capture_output=True)
    if made.returncode != 0:
        raise AssertionError(f"sqlite3 could not make the file: {made.stderr}")
    return path


def lines_in(path):
    """The lines of the date in the file: ID, 項目ID, 品名, 数量, 単位, 単価, 価格, 備考."""
    query = ("SELECT ID, 項目ID, 品名, 数量, 単位, 単価, 価格, COALESCE(備考, '') FROM 棚卸マスター "
             f"WHERE 日付 = '{DATE}' ORDER BY ID")
    out = subprocess.run(["/usr/bin/sqlite3", "-json", "-cmd", ".timeout 5000", path, query],
                         capture_output=True, text=True, check=True).stdout
    rows = json.loads(out) if out.strip() else []
    return [tuple(r.values()) for r in rows]


# ---- The server ---------------------------------------------------------------------------------

class Server:
    """`kotrina serve` in a process of its own; the page's address and the pairing URL are the two
    lines it prints first."""

    def __init__(self, database, home, port=0):
        env = dict(os.environ, KOTRINA_HOME=os.path.join(home, "data"), XDG_CONFIG_HOME=os.path.join(home, "config"),
                   LC_ALL="C.UTF-8")
        self.process = subprocess.Popen(
            [KOTRINA, "serve", database, "--date", DATE, "--port", str(port), "--address", "127.0.0.1"],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=env)
        self.errors = []
        self.error_reader = threading.Thread(target=lambda: self.errors.extend(self.process.stderr), daemon=True)
        self.error_reader.start()
        self.page = self._url()
        self.pairing = self._url()
        self.port = int(re.search(r":(\d+)/", self.page).group(1))

    def _url(self):
        got = []
        reader = threading.Thread(target=lambda: got.append(self.process.stdout.readline()), daemon=True)
        reader.start()
        reader.join(20)
        line = got[0] if got else ""
        found = re.search(r"https?://\S+", line)
        if not found:
            self.process.kill()
            raise AssertionError(f"kotrina serve printed {line!r}; standard error: {''.join(self.errors)}")
        return found.group(0)

    def new_pairing(self):
        """A new one-time pairing URL, as Enter on the server's standard input gives."""
        self.process.stdin.write("\n")
        self.process.stdin.flush()
        self.pairing = self._url()
        return self.pairing

    def kill(self):
        """Ended without a chance to close (a crash, a pulled plug)."""
        self.process.kill()
        self._ended()

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
        self._ended()

    def _ended(self):
        self.process.wait(10)
        self.error_reader.join(10)
        for pipe in (self.process.stdin, self.process.stdout, self.process.stderr):
            pipe.close()


def request(method, url, body=None, headers=None):
    """A plain HTTP request, without the browser and its cookie: (status, parsed JSON or None)."""
    data = json.dumps(body, ensure_ascii=False).encode() if body is not None else None
    req = urllib.request.Request(url, data=data, method=method, headers=dict(headers or {}))
    if data is not None:
        req.add_header("Content-Type", "application/json")
    try:
        with urllib.request.urlopen(req, timeout=10) as answer:
            status, text = answer.status, answer.read()
    except urllib.error.HTTPError as refused:
        status, text = refused.code, refused.read()
    try:
        return status, json.loads(text)
    except ValueError:
        return status, None


# ---- The phone ----------------------------------------------------------------------------------

def phone(pixel_ratio=1):
    options = webdriver.ChromeOptions()
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--lang=ja", "--window-size=360,740"):
        options.add_argument(argument)
    options.add_experimental_option("mobileEmulation",
                                    {"deviceMetrics": {"width": 360, "height": 740, "pixelRatio": pixel_ratio}})
    options.binary_location = CHROMIUM
    return webdriver.Chrome(service=Service(DRIVER), options=options)


class Page:
    """The counting page as a person's thumb meets it."""

    def __init__(self, driver):
        self.d = driver

    def wait(self, what, seconds=10, message=""):
        try:
            return WebDriverWait(self.d, seconds, poll_frequency=0.05).until(lambda d: what())
        except TimeoutException:
            raise AssertionError(f"{message or 'waited in vain'}; the page shows:\n{self.text()}")

    def find(self, selector):
        return self.d.find_element(By.CSS_SELECTOR, selector)

    def text(self):
        return self.d.find_element(By.TAG_NAME, "body").text

    def visible(self, element_id):
        return self.d.find_element(By.ID, element_id).is_displayed()

    def category(self, name):
        Select(self.d.find_element(By.ID, "category")).select_by_visible_text(name)

    def search(self, text):
        box = self.d.find_element(By.ID, "product-search")
        box.clear()
        box.send_keys(text)

    # The lists are drawn anew as answers come in: they are read in one go, in the page.
    def choices(self):
        return self.d.execute_script(
            "return Array.from(document.querySelectorAll('#product-choice button .name'), e => e.textContent)")

    def choose(self, name):
        self.wait(lambda: name in self.choices(), message=f"{name} not among the matches")
        index = self.choices().index(name)
        self.d.find_elements(By.CSS_SELECTOR, "#product-choice button")[index].click()

    def keys(self, digits):
        """Taps on the numeric pad."""
        for key in digits:
            name = {"C": "clear", "<": "back", "-": "minus"}.get(key, key)
            self.find(f'#pad button[data-key="{name}"]').click()

    def value(self, element_id):
        return self.d.find_element(By.ID, element_id).get_attribute("value")

    def fill(self, element_id, text):
        box = self.d.find_element(By.ID, element_id)
        box.clear()
        box.send_keys(text)

    def register(self):
        self.d.find_element(By.ID, "register").click()

    def lines(self):
        """The phone's list: (name, its state, the figures) per line, top first."""
        return [tuple(line) for line in self.d.execute_script(
            "return Array.from(document.querySelectorAll('#my-lines li'),"
            " li => ['.name', '.state', '.figures'].map(c => li.querySelector(c).textContent))")]

    def all_sent(self, count):
        return lambda: len(self.lines()) == count and all(state == "送信済み" for _, state, _ in self.lines())

    def press_on_line(self, name, button):
        names = [line[0] for line in self.lines()]
        if name not in names:
            raise AssertionError(f"no line {name} in the list")
        self.d.find_elements(By.CSS_SELECTOR, f"#my-lines li .{button}")[names.index(name)].click()

    def csrf(self):
        return self.d.execute_async_script(
            "const done = arguments[0];"
            "fetch('/api/state', {credentials: 'same-origin'}).then(r => r.json()).then(s => done(s.csrf));")

    def kept(self):
        return self.d.execute_script("return JSON.parse(localStorage.getItem('kotrina.phone.lines') || '{}')")


class CountingFromAPhone(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="kotrina-phone-")
        self.file = make_file(self.folder)
        self.server = Server(self.file, self.folder)
        self.driver = phone()
        self.page = Page(self.driver)

    def tearDown(self):
        self.driver.quit()
        self.server.stop()
        shutil.rmtree(self.folder, ignore_errors=True)

    def pair(self):
        self.driver.get(self.server.pairing)
        self.page.wait(lambda: self.page.visible("counting"), message="the page did not open after pairing")

    def test_pair_search_count_change_delete(self):
        page = self.page
        # Before pairing the page only says where the QR code is.
        self.driver.get(self.server.page)
        page.wait(lambda: page.visible("unpaired"), message="an unpaired phone is not told to pair")
        self.assertIn("QR コード", page.text())
        self.assertFalse(page.visible("counting"))

        self.pair()
        self.assertEqual(self.driver.find_element(By.ID, "date").text, "2026/03/31")
        self.assertIn("HTTPS", self.driver.find_element(By.ID, "camera-note").text)
        # The pairing URL was for one phone: used again it pairs nothing.
        status, _ = request("GET", self.server.pairing)
        self.assertEqual(status, 403)

        # A search as the user types: the first matches, each a button; one of them fills unit and price.
        page.category("食品")
        page.search("りんご")
        page.wait(lambda: page.choices() == ["りんご", "りんごジュース"], message="the matches of りんご")
        page.choose("りんご")
        self.assertEqual((page.value("unit"), page.value("price")), ("個", "120"))
        page.keys("3")
        self.assertEqual(page.value("quantity"), "3")
        page.register()
        page.wait(page.all_sent(1), message="the line did not reach the server")
        self.assertEqual(lines_in(self.file), [(2, 1, "りんご", 3.0, "個", 120.0, 360.0, "")])
        self.assertEqual(page.lines(), [("りんご", "送信済み", "3個 × 120円")])

        # The same request without the session's cookie is refused and writes nothing, with a fresh key
        # as with the key of the line just registered.
        key = next(iter(page.kept()["lines"]))
        token = {"X-CSRF-Token": page.csrf()}
        for body_key in (key, "b6f2b8f0-0000-4000-8000-000000000001"):
            body = {"key": body_key, "category": 1, "product": "りんご", "quantity": 3, "unit": "個", "price": 120,
                    "note": ""}
            status, answer = request("POST", self.server.page + "api/lines", body, token)
            self.assertIn(status, (401, 403))
            self.assertIn("error", answer)
        status, _ = request("PUT", self.server.page + f"api/lines/{key}", dict(body, key=key, quantity=99), token)
        self.assertIn(status, (401, 403))
        status, _ = request("DELETE", self.server.page + f"api/lines/{key}", None, token)
        self.assertIn(status, (401, 403))
        self.assertEqual(lines_in(self.file), [(2, 1, "りんご", 3.0, "個", 120.0, 360.0, "")])

        # A change: the line comes back into the boxes, the count becomes 5.
        page.press_on_line("りんご", "change")
        self.assertEqual(self.driver.find_element(By.ID, "register").text, "変更")
        self.assertEqual(page.value("quantity"), "3")
        page.keys("C5")
        page.register()
        page.wait(lambda: page.lines() == [("りんご", "送信済み", "5個 × 120円")], message="the change")
        self.assertEqual(lines_in(self.file), [(2, 1, "りんご", 5.0, "個", 120.0, 600.0, "")])

        # A scanner types the code and Enter into the search box: its product is chosen at once.
        page.search("4901234567894\n")
        page.wait(lambda: page.value("product-search") == "りんご", message="the scanned code")
        self.assertEqual(self.driver.switch_to.active_element.get_attribute("id"), "quantity")
        page.keys("2")
        page.fill("note", "棚A")
        page.register()
        page.wait(page.all_sent(2), message="the scanned line")
        self.assertEqual(lines_in(self.file)[1], (3, 1, "りんご", 2.0, "個", 120.0, 240.0, "棚A"))

        # A delete asks first; the line leaves the list and the file.
        page.press_on_line("りんご", "delete")
        alert = self.driver.switch_to.alert
        self.assertIn("削除します。よろしいですか。", alert.text)
        alert.accept()
        page.wait(page.all_sent(1), message="the delete")
        self.assertEqual(lines_in(self.file), [(2, 1, "りんご", 5.0, "個", 120.0, 600.0, "")])

        # The server's refusal is shown as it comes, and nothing is written.
        page.search("ﾒﾓ帳")
        page.choose("ﾒﾓ帳")
        page.fill("unit", "ダース")
        page.keys("1")
        page.register()
        page.wait(lambda: page.visible("notice") and "単位" in self.driver.find_element(By.ID, "notice").text,
                  message="the refusal of a long unit")
        self.assertEqual(self.driver.find_element(By.ID, "notice").text, "単位は全角で２文字以内にしてください。")
        self.assertIn(("ﾒﾓ帳", "登録できません", "1ダース × 80円"), page.lines())
        self.assertEqual(len(lines_in(self.file)), 1)

    def test_kept_lines_reach_the_file_once_after_a_restart(self):
        page = self.page
        # On the shop's network over plain HTTP the browser offers no crypto.randomUUID (the loopback
        # address counts as secure): the page makes its keys without it here.
        self.driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument",
                                    {"source": "delete Crypto.prototype.randomUUID;"})
        self.pair()
        self.assertFalse(self.driver.execute_script("return 'randomUUID' in crypto"))
        page.search("りんご")
        page.choose("りんご")
        page.keys("1")
        page.register()
        page.wait(page.all_sent(1), message="the first line")

        # The server goes away; a line counted now stays on the phone, marked as not sent.
        self.server.kill()
        page.search("夏みかん")
        page.fill("unit", "個")
        page.fill("price", "50")
        page.keys("4")
        page.register()
        page.wait(lambda: ("夏みかん", "未送信", "4個 × 50円") in page.lines(), message="the kept line")
        self.assertIn("未送信 1 件", self.driver.find_element(By.ID, "lines-summary").text)
        self.assertEqual([r[2] for r in lines_in(self.file)], ["りんご"])

        # The page is closed; the line is in the browser's storage only. The server comes back on its
        # port, the phone opens the page again: the line goes through, once.
        self.driver.get("about:blank")
        self.server = Server(self.file, self.folder, self.server.port)
        self.driver.get(self.server.page)
        page.wait(page.all_sent(2), seconds=20, message="the kept line after the restart")
        self.assertEqual([r[2:7] for r in lines_in(self.file)],
                         [("りんご", 1.0, "個", 120.0, 120.0), ("夏みかん", 4.0, "個", 50.0, 200.0)])

        # An answer lost on the way: the phone still thinks the line unsent and sends it again; the
        # server knows its key and writes no second line.
        self.driver.execute_script("""
            const book = JSON.parse(localStorage.getItem('kotrina.phone.lines'));
            for (const line of Object.values(book.lines))
                if (line.product === '夏みかん') Object.assign(line, {pending: 'post', sent: false, id: null});
            localStorage.setItem('kotrina.phone.lines', JSON.stringify(book));""")
        self.driver.refresh()
        page.wait(page.all_sent(2), message="the resend")
        self.assertEqual([r[2] for r in lines_in(self.file)], ["りんご", "夏みかん"])
        keys = list(page.kept()["lines"])
        self.assertEqual(len(keys), 2)
        for key in keys:
            self.assertRegex(key, r"^[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}$")


class CountingOnAFinalisedDate(unittest.TestCase):
    """A date finalised at the desk while a phone still kept a line for it."""

    def test_kept_line_is_refused_with_the_servers_reason(self):
        folder = tempfile.mkdtemp(prefix="kotrina-phone-")
        self.addCleanup(shutil.rmtree, folder, True)
        file = make_file(folder)
        subprocess.run(["/usr/bin/sqlite3", file, f"INSERT INTO 棚卸マスター VALUES "
                        f"(2, '{DATE}', 1, 'りんご', 1, '個', 120, 120, NULL, NULL, 1, 0);"], check=True)
        env = dict(os.environ, KOTRINA_HOME=os.path.join(folder, "data"), XDG_CONFIG_HOME=os.path.join(folder, "config"),
                   QT_QPA_PLATFORM="offscreen", LC_ALL="C.UTF-8")
        finalised = subprocess.run([KOTRINA, "finalise", file, "--date", DATE, "--layout", "original"], env=env,
                                   capture_output=True, text=True)
        self.assertEqual(finalised.returncode, 0, finalised.stderr)
        server = Server(file, folder)
        self.addCleanup(server.stop)
        driver = phone()
        self.addCleanup(driver.quit)
        page = Page(driver)
        driver.get(server.pairing)
        page.wait(lambda: page.visible("counting"))
        self.assertTrue(page.visible("finalised"))
        self.assertFalse(driver.find_element(By.ID, "register").is_enabled())

        # A line counted before the lock, still kept by the phone, is sent on the next start.
        driver.execute_script("""localStorage.setItem('kotrina.phone.lines', JSON.stringify({seq: 1, lines: {
            'b6f2b8f0-0000-4000-8000-000000000002': {key: 'b6f2b8f0-0000-4000-8000-000000000002', id: null,
                category: 1, product: '夏みかん', quantity: 2, unit: '個', price: 50, note: '', created: 1,
                pending: 'post', queued: 1, tried: false, sent: false, refused: null}}}));""")
        driver.refresh()
        page.wait(lambda: page.lines() == [("夏みかん", "登録できません", "2個 × 50円")], message="the refusal")
        reason = driver.find_element(By.CSS_SELECTOR, "#my-lines .reason").text
        self.assertRegex(reason, r"^決算日 2026/03/31 の棚卸は .* に確定されています。")
        self.assertEqual(driver.find_element(By.ID, "notice").text, reason)
        self.assertEqual([r[2] for r in lines_in(file)], ["りんご"])


# ---- The manual's pictures ------------------------------------------------------------------------

def take_pictures(folder):
    os.makedirs(folder, exist_ok=True)
    work = tempfile.mkdtemp(prefix="kotrina-phone-pictures-")
    server = Server(make_file(work), work)
    driver = phone(pixel_ratio=1.5)
    page = Page(driver)

    def shot(name):
        driver.execute_script("document.activeElement && document.activeElement.blur()")
        time.sleep(0.3)
        driver.save_screenshot(os.path.join(folder, name))

    try:
        driver.get(server.page)
        page.wait(lambda: page.visible("unpaired"))
        shot("phone-unpaired.png")
        driver.get(server.pairing)
        page.wait(lambda: page.visible("counting"))
        page.category("食品")
        page.search("りんご")
        page.wait(lambda: len(page.choices()) == 2)
        shot("phone-search.png")
        page.choose("りんご")
        page.keys("12")
        shot("phone-count.png")
        page.register()
        page.wait(page.all_sent(1))
        page.search("りんごジュース")
        page.choose("りんごジュース")
        page.keys("6")
        page.register()
        page.wait(page.all_sent(2))
        server.kill()
        page.category("雑貨")
        page.search("ﾒﾓ帳")
        page.fill("unit", "冊")
        page.fill("price", "80")
        page.keys("20")
        page.register()
        page.wait(lambda: any(state == "未送信" for _, state, _ in page.lines()))
        driver.execute_script("document.getElementById('lines-title').scrollIntoView()")
        shot("phone-lines.png")
    finally:
        driver.quit()
        server.stop()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    KOTRINA, TEMPLATE = sys.argv[1], sys.argv[2]
    missing = browser_missing()
    if missing:
        print(f"{missing}: the browser tests need chromium, chromium-driver and python3-selenium", file=sys.stderr)
        sys.exit(1 if os.environ.get("CI") == "true" else SKIPPED)
    if len(sys.argv) > 4 and sys.argv[3] == "--pictures":
        take_pictures(sys.argv[4])
        sys.exit(0)
    unittest.main(argv=[sys.argv[0]] + sys.argv[3:], verbosity=2)
