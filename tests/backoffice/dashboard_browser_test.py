#!/usr/bin/env python3
"""The supervisor's dashboard in a real browser (headless chromium, selenium).

Starts korvane-backoffice with the demonstration warehouse on 127.0.0.1,
opens the dashboard, works a note over SOAP as a handheld does and watches
the page follow without a reload, across a restart of the back office too;
then a second back office bound to 0.0.0.0 (reached through 127.0.0.1 only)
with HTTPS and a users file: a wrong password is refused, the right one lets
in, repeated wrong ones lock the name out.

    dashboard_browser_test.py BACKOFFICE_BINARY
With DASHBOARD_SCREENSHOTS=DIR it also saves pictures of the pages there.
Exits 77 (skipped) only when chromium, chromedriver or selenium are missing.
"""

import json
import os
import shutil
import socket
import sqlite3
import ssl
import subprocess
import sys
import tempfile
import time
import urllib.error
import urllib.request
from xml.sax.saxutils import escape

SKIPPED = 77
DAY = time.strftime("%Y-%m-%d")


def skip(why):
    print("SKIPPED: " + why + " (scripts/install-deps.sh installs it)")
    sys.exit(SKIPPED)


try:
    from selenium import webdriver
    from selenium.common.exceptions import NoAlertPresentException, TimeoutException
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support.ui import WebDriverWait
except ImportError:
    skip("python3-selenium is not installed")

CHROMIUM = shutil.which("chromium")
CHROMEDRIVER = shutil.which("chromedriver") or (
    "/usr/bin/chromedriver" if os.path.exists("/usr/bin/chromedriver") else None)
if not CHROMIUM:
    skip("chromium is not installed")
if not CHROMEDRIVER:
    skip("chromium-driver is not installed")

BINARY = os.path.abspath(sys.argv[1])
SCREENSHOTS = os.environ.get("DASHBOARD_SCREENSHOTS")
figures = {}


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class BackOffice:
    """One korvane-backoffice process; stopped with SIGTERM, killed after 10 s."""

    def __init__(self, folder, name, arguments):
        self.folder = folder
        self.port_file = os.path.join(folder, name + ".port")
        self.log = open(os.path.join(folder, name + ".log"), "ab")
        self.arguments = arguments
        self.process = None
        self.port = None

    def start(self, port=0, host="127.0.0.1"):
        if os.path.exists(self.port_file):
            os.remove(self.port_file)
        self.process = subprocess.Popen(
            [BINARY, "--listen", "%s:%d" % (host, port), "--port-file", self.port_file,
             "--quiet"] + self.arguments,
            cwd=self.folder, stdout=self.log, stderr=self.log)
        deadline = time.monotonic() + 15
        while time.monotonic() < deadline:
            if os.path.exists(self.port_file):
                self.port = int(open(self.port_file).read().strip())
                return self
            if self.process.poll() is not None:
                break
            time.sleep(0.05)
        raise AssertionError("the back office did not start: " + open(self.log.name).read())

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(timeout=10)


def request_document(root, children, extra=""):
    out = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?><%s xmlns="'
           'http://korvane.local/webservice/generated/xmlbindings/%s">' % (root, root))
    for name, value in children:
        out += '<%s xmlns="">%s</%s>' % (name, escape(str(value)), name)
    return out + extra + "</%s>" % root


def soap(port, function, document):
    """One exchange as the handheld sends it; returns the answer's text."""
    header = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?><QVRServiceHeader xmlns='
              '"http://korvane.local/webservice/generated/xmlbindings/QVRServiceHeader">'
              '<messageID xmlns="">ID012</messageID><transactionType xmlns="">Update'
              '</transactionType><function xmlns="">%s</function><application xmlns="">'
              'QVR Korvane</application><customer xmlns="">Test</customer><webuser xmlns="">'
              'WEBUSER</webuser></QVRServiceHeader>' % function)
    envelope = ('<?xml version="1.0" encoding="UTF-8" ?><soap:Envelope xmlns:soap='
                '"http://schemas.xmlsoap.org/soap/envelope/"><soap:Body><ns0:processRequest '
                'xmlns:ns0="urn:QVR"><String_1>%s</String_1><String_2>%s</String_2>'
                '</ns0:processRequest></soap:Body></soap:Envelope>'
                % (escape(header), escape(document)))
    request = urllib.request.Request(
        "http://127.0.0.1:%d/qvrgenericwebservice/QVRGenericWebService" % port,
        data=envelope.encode("utf-8"),
        headers={"Content-Type": "text/xml; charset=utf-8", "SOAPAction": "processRequest"})
    with urllib.request.urlopen(request, timeout=10) as answer:
        text = answer.read().decode("utf-8")
    assert "BO1" not in text and "Not able to create" not in text, text
    return text


def browser():
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu",
                     "--disable-dev-shm-usage", "--window-size=1280,800",
                     "--no-first-run", "--no-default-browser-check"):
        options.add_argument(argument)
    # The test's own certificate, made a minute ago for 127.0.0.1.
    options.set_capability("acceptInsecureCerts", True)
    driver = webdriver.Chrome(service=Service(executable_path=CHROMEDRIVER), options=options)
    driver.set_page_load_timeout(30)
    driver.set_script_timeout(10)
    return driver


def wait(driver, seconds, condition, what):
    try:
        return WebDriverWait(driver, seconds, poll_frequency=0.05).until(lambda d: condition())
    except TimeoutException:
        raise AssertionError("not within %.1f s: %s" % (seconds, what))


def cell_text(driver, selector):
    # Read in one step in the page: the page redraws under a held element.
    return driver.execute_script(
        "const e = document.querySelector(arguments[0]); return e ? e.innerText : null;",
        selector)


def no_alert(driver):
    try:
        text = driver.switch_to.alert.text
    except NoAlertPresentException:
        return
    raise AssertionError("an alert fired: " + text)


def shoot(driver, url, name, ready):
    if not SCREENSHOTS:
        return
    driver.get(url)
    wait(driver, 10, lambda: driver.find_elements(By.CSS_SELECTOR, ready), ready)
    time.sleep(0.3)
    driver.save_screenshot(os.path.join(SCREENSHOTS, name + ".png"))


def local_back_office(folder, driver):
    office = BackOffice(folder, "local", ["--db", "local.db", "--demo"]).start()
    base = "http://127.0.0.1:%d" % office.port
    try:
        db = sqlite3.connect(os.path.join(folder, "local.db"), timeout=10)
        db.execute("UPDATE notes SET customer = '<script>alert(1)</script>' WHERE number = ?",
                   ("4310105",))
        db.commit()
        route = db.execute("SELECT id FROM routes WHERE number = 101 AND delivery_day = ?",
                           (DAY,)).fetchone()[0]
        note = db.execute("SELECT id FROM notes WHERE number = '4310104'").fetchone()[0]
        line, ordered = db.execute("SELECT id, ordered FROM lines WHERE note_id = ? "
                                   "ORDER BY position LIMIT 1", (note,)).fetchone()
        db.close()

        # The routes of the day with their bars, painted within a second.
        driver.get(base + "/dashboard?plant=1000")
        wait(driver, 10, lambda: driver.find_elements(By.CSS_SELECTOR, 'tr[data-route="101"] .bar'),
             "the route bars")
        paint = driver.execute_script(
            "const p = performance.getEntriesByName('first-contentful-paint')[0];"
            "return p ? p.startTime : null;")
        figures["first paint ms"] = paint
        assert paint is not None and paint < 1000, "first paint after %s ms" % paint
        segments = driver.execute_script(
            "return [...document.querySelectorAll('tr[data-route=\"101\"] .bar span')]"
            ".map((s) => s.innerText);")
        assert segments == ["3", "1", "2"], segments

        # A route's notes: quantities, then a handheld's work shows without a reload.
        driver.get(base + "/dashboard/route?plant=1000&route=%d" % route)
        delivered = 'tr[data-note="4310104"] tr[data-line="1"] .delivered'
        wait(driver, 10, lambda: cell_text(driver, delivered) == str(ordered), "note quantities")
        customer = cell_text(driver, 'tr[data-note="4310105"] .customer')
        assert customer == "<script>alert(1)</script>", customer
        no_alert(driver)
        driver.execute_script("window.notReloaded = true;")

        soap(office.port, "KORVANEPACKINGNOTE", request_document(
            "KorvanePackingnoteRequest", [("MobileDevice_ID", 1), ("RouteControl_ID", route),
                                          ("PlantDepartment_ID", 1), ("Action", 0),
                                          ("Employee_ID", 2)],
            '<PackingNote_ID xmlns="">%d</PackingNote_ID>' % note))
        started = time.monotonic()
        soap(office.port, "KORVANEDELIVEREDQUANTITY", request_document(
            "KorvaneDeliveredQuantityRequest", [("MobileDevice_ID", 1), ("PackingNote_ID", note)],
            '<DeliveredLines xmlns=""><PackingNoteLine_ID xmlns="">%d</PackingNoteLine_ID>'
            '<Delivered xmlns="">%d</Delivered></DeliveredLines>' % (line, ordered - 3)))
        wait(driver, 2, lambda: cell_text(driver, delivered) == str(ordered - 3),
             "the delivered quantity on the page")
        figures["quantity on the page after ms"] = round((time.monotonic() - started) * 1000)
        assert "short" in driver.execute_script(
            "return document.querySelector(arguments[0]).className;", delivered)
        started = time.monotonic()
        soap(office.port, "KORVANECONTAINERSCAN", request_document(
            "KorvaneContainerScanRequest", [("MobileDevice_ID", 1), ("PackingNote_ID", note),
                                            ("ContainerIDCode", "20500001")]))
        containers = 'tr[data-note="4310104"] .containers'
        wait(driver, 2, lambda: "20500001" in (cell_text(driver, containers) or ""),
             "the container on the page")
        figures["container on the page after ms"] = round((time.monotonic() - started) * 1000)
        held = cell_text(driver, 'tr[data-note="4310104"] .held') or ""
        assert "HH01" in held and "Tomas Vermeer" in held, held

        # Printed: the time and a link to the PDF the back office wrote.
        soap(office.port, "KORVANEPRINT", request_document(
            "KorvanePrintRequest", [("MobileDevice_ID", 1), ("PackingNote_ID", note),
                                    ("Employee_ID", 2), ("Colli", 2), ("PrintOrderForm", "false")]))
        pdf = 'tr[data-note="4310104"] a.pdf'
        wait(driver, 2, lambda: driver.find_elements(By.CSS_SELECTOR, pdf), "the printed note")
        link = driver.execute_script("return document.querySelector(arguments[0]).href;", pdf)
        with urllib.request.urlopen(link, timeout=10) as answer:
            assert answer.read(5) == b"%PDF-", link

        # The back office restarts; the open page carries on by itself.
        port = office.port
        office.stop()
        office.start(port)
        soap(office.port, "KORVANECONTAINERSCAN", request_document(
            "KorvaneContainerScanRequest", [("MobileDevice_ID", 1), ("PackingNote_ID", note),
                                            ("ContainerIDCode", "20500002")]))
        wait(driver, 5, lambda: "20500002" in (cell_text(driver, containers) or ""),
             "the page after a restart")
        assert driver.execute_script("return window.notReloaded === true;"), "the page reloaded"
        no_alert(driver)

        # The handhelds and the scans of the day.
        driver.get(base + "/dashboard/handhelds?plant=1000")
        wait(driver, 10, lambda: "KORVANECONTAINERSCAN" in (
            cell_text(driver, 'tr[data-handheld="HH01"]') or ""), "the handheld's last exchange")
        driver.get(base + "/dashboard/scans?plant=1000")
        wait(driver, 10, lambda: driver.find_elements(By.CSS_SELECTOR, 'rect[data-kind="containers"]'),
             "the scans chart")

        if SCREENSHOTS:
            for lang in ("en", "de"):
                shoot(driver, base + "/dashboard?plant=1000&lang=" + lang, "dashboard-routes-" + lang,
                      'tr[data-route="101"]')
                shoot(driver, base + "/dashboard/route?plant=1000&route=%d&lang=%s" % (route, lang),
                      "dashboard-route-" + lang, 'tr[data-note="4310104"]')
                shoot(driver, base + "/dashboard/handhelds?plant=1000&lang=" + lang,
                      "dashboard-handhelds-" + lang, 'tr[data-handheld="HH01"]')
                shoot(driver, base + "/dashboard/scans?plant=1000&lang=" + lang,
                      "dashboard-scans-" + lang, "svg.chart")
            driver.set_window_size(800, 1280)
            shoot(driver, base + "/dashboard/route?plant=1000&route=%d&lang=de" % route,
                  "dashboard-route-tablet-de", 'tr[data-note="4310104"]')
            driver.set_window_size(1280, 800)
    finally:
        office.stop()


def login(driver, base, user, password):
    driver.get(base + "/dashboard/login")
    wait(driver, 10, lambda: driver.find_elements(By.ID, "password"), "the login form")
    driver.find_element(By.ID, "user").send_keys(user)
    driver.find_element(By.ID, "password").send_keys(password)
    driver.find_element(By.ID, "login").click()
    # The answer first: a next navigation would cancel the post.
    wait(driver, 10, lambda: "error=" in driver.current_url
         or "/dashboard/login" not in driver.current_url, "the answer to the login")


def tls_back_office(folder, driver):
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
                    "-keyout", "key.pem", "-out", "cert.pem", "-subj", "/CN=127.0.0.1",
                    "-addext", "subjectAltName=IP:127.0.0.1"],
                   cwd=folder, check=True, capture_output=True, timeout=60)
    hashed = subprocess.run([BINARY, "hash-password"], input=b"right horse\n",
                            capture_output=True, check=True, timeout=30).stdout.decode().strip()
    with open(os.path.join(folder, "users"), "w") as users:
        users.write("# the dock's supervisors\nanna:%s\n" % hashed)
    tls_port = free_port()
    office = BackOffice(folder, "wide", [
        "--db", "wide.db", "--demo", "--tls-cert", "cert.pem", "--tls-key", "key.pem",
        "--tls-listen", "0.0.0.0:%d" % tls_port, "--dashboard-users", "users"]).start(
            host="0.0.0.0")
    try:
        # Plain HTTP beyond loopback: nothing without a login, and no login.
        for path, status in (("/api/v1/routes", 401), ("/dashboard/assets/app.js", 200)):
            try:
                code = urllib.request.urlopen("http://127.0.0.1:%d%s" % (office.port, path),
                                              timeout=10).status
            except urllib.error.HTTPError as error:
                code = error.code
            assert code == status, (path, code)

        base = "https://127.0.0.1:%d" % tls_port
        login(driver, base, "anna", "wrong horse")
        wait(driver, 5, lambda: driver.find_elements(By.ID, "error"), "the refusal")
        assert "/dashboard/login" in driver.current_url
        login(driver, base, "anna", "right horse")
        wait(driver, 10, lambda: driver.find_elements(By.CSS_SELECTOR, 'tr[data-route="101"]'),
             "the dashboard after the login")
        cookie = driver.get_cookie("korvane_session")
        assert cookie and cookie["httpOnly"] and cookie["secure"] and \
            cookie.get("sameSite") == "Strict", cookie

        # Logging out: back at the login page, without the cookie, and the
        # pages want a login again.
        button = driver.find_element(By.ID, "logout-button")
        assert button.is_displayed() and button.text in ("Log out", "Abmelden", "Afmelden"), \
            button.text
        button.click()
        wait(driver, 10, lambda: "/dashboard/login" in driver.current_url
             and driver.find_elements(By.ID, "password"), "the login page after logging out")
        assert driver.get_cookie("korvane_session") is None
        driver.get(base + "/dashboard")
        wait(driver, 10, lambda: "/dashboard/login" in driver.current_url,
             "the pages wanting a login again")

        driver.delete_all_cookies()
        for _ in range(5):
            login(driver, base, "anna", "guess")
        wait(driver, 5, lambda: "error=locked" in driver.current_url, "the lock-out")
        login(driver, base, "anna", "right horse")
        wait(driver, 5, lambda: "error=locked" in driver.current_url,
             "the lock-out holding against the right password")
        context = ssl.create_default_context(cafile=os.path.join(folder, "cert.pem"))
        try:
            urllib.request.urlopen(base + "/api/v1/routes", timeout=10, context=context)
            raise AssertionError("the API answered without a login")
        except urllib.error.HTTPError as error:
            assert error.code == 401, error.code
    finally:
        office.stop()


def main():
    folder = tempfile.mkdtemp(prefix="korvane-dashboard-")
    driver = None
    try:
        driver = browser()
        local_back_office(folder, driver)
        driver.delete_all_cookies()
        tls_back_office(folder, driver)
        print("dashboard browser test passed: " + json.dumps(figures))
    finally:
        if driver:
            driver.quit()
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
