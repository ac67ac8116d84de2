#!/usr/bin/python3
"""The station's web pages in headless Chromium (selenium; the helpers of the
web server's own browser test), against the built station run as a child
with a scratch folder and free ports on 127.0.0.1: a password with a Polish
letter set by --set-password, pages locked without a login, the status page
(screenshot kept in the output folder), segment downloads and refusals, and
the sensitivity form saving the INI.

Usage: StationWebTest.py <station program> <output folder>"""
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import urllib.request

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "net"))
from HttpBrowserTest import WAIT, local_only, log_in, on_login_page, start_browser, wait_for  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402

PASSWORD = "tajne hasło"


def wait_until(what, condition, seconds=WAIT):
    limit = time.monotonic() + seconds
    while True:
        result = condition()
        if result:
            return result
        if time.monotonic() > limit:
            raise AssertionError("waited %d s in vain: %s" % (seconds, what))
        time.sleep(0.05)


def read(path, mode="r"):
    with open(path, mode, **({} if "b" in mode else {"encoding": "latin-1"})) as f:
        return f.read()


def ini_values(folder):
    """The INI's key = value pairs but its checksum."""
    pairs = (line.split("=", 1) for line in read(os.path.join(folder, "zep3-station.ini")).splitlines() if "=" in line)
    return {k: v for k, v in pairs if k != "__checksum__"}


def fetch(driver, url):
    """The bytes of a page, asked with the browser's session cookies."""
    cookies = "; ".join("%s=%s" % (c["name"], c["value"]) for c in driver.get_cookies())
    with urllib.request.urlopen(urllib.request.Request(url, headers={"Cookie": cookies}), timeout=WAIT) as answer:
        return answer.read()


def check_locked(driver, base, folder):
    before = ini_values(folder)
    for page in ("", "snapshot.jpg", "segment?name=segment-000001.avi", "sensitivity?sensitivity=99"):
        driver.get(base + page)
        wait_for(driver, "without a login /%s leads to the login page" % page, on_login_page)
    assert ini_values(folder) == before, "a page changed the INI without a login"


def check_status(driver, base, shots):
    def snapshot_and_objects_shown(d):
        d.get(base)
        return d.find_elements(By.CSS_SELECTOR, "#objects td") and d.find_elements(By.ID, "snapshot") and \
            d.execute_script("var i = document.getElementById('snapshot'); return i.complete && i.naturalWidth == 640;")
    wait_for(driver, "the status page shows the latest snapshot and objects in the zone", snapshot_and_objects_shown)
    driver.save_screenshot(os.path.join(shots, "status.png"))


def check_segments(driver, base, folder):
    links = driver.find_elements(By.CSS_SELECTOR, "#segments a")
    assert links, "no segment listed"
    name = links[0].text
    data = fetch(driver, links[0].get_attribute("href"))
    assert data[:4] == b"RIFF" and data[8:12] == b"AVI ", data[:12]
    assert data == read(os.path.join(folder, name), "rb"), "the download differs from " + name
    assert not any(n.endswith(".part") for n in (a.text for a in links))
    shutil.copy(os.path.join(folder, name), os.path.join(folder, "segment-999999.avi.part"))
    for refused in ("../" + name, "%2e%2e/" + name, "segment-999999.avi.part", "zep3-station.ini",
                    "/etc/passwd", "segment-999998.avi", ""):
        answer = fetch(driver, base + "segment?name=" + refused)
        assert b"id='refused'" in answer and b"RIFF" not in answer, refused


def check_sensitivity(driver, base, folder, old):
    before = ini_values(folder)
    assert before["Station\\Analysis\\Sensitivity"] == str(old), before
    new = 100 - old
    driver.get(base)
    wait_for(driver, "the status page", lambda d: d.find_elements(By.ID, "sensitivity"))
    field = driver.find_element(By.ID, "sensitivity")
    assert field.get_attribute("value") == str(old)
    field.clear()
    field.send_keys(str(new))
    driver.find_element(By.ID, "apply").click()
    wait_for(driver, "the form's answer", lambda d: d.find_elements(By.ID, "result"))
    result = driver.find_element(By.ID, "result").text
    assert result == "Sensitivity %d applied to the analysis and saved in zep3-station.ini." % new, result
    after = ini_values(folder)
    assert after.pop("Station\\Analysis\\Sensitivity") == str(new)
    del before["Station\\Analysis\\Sensitivity"]
    assert after == before, "other keys changed"
    for bad in ("0", "101", "abc"):
        driver.get(base + "sensitivity?sensitivity=" + bad)
        wait_for(driver, "a bad value is refused", lambda d: d.find_elements(By.ID, "result"))
        assert "nothing changed" in driver.find_element(By.ID, "result").text
    assert ini_values(folder)["Station\\Analysis\\Sensitivity"] == str(new)
    return new


def main():
    station_program, shots = sys.argv[1], sys.argv[2]
    os.makedirs(shots, exist_ok=True)
    local_only()
    folder = tempfile.mkdtemp(prefix="zep3-station-web-")
    profile = tempfile.mkdtemp(prefix="zep3-chromium-")
    with open(os.path.join(folder, "zep3-station.ini"), "w") as ini:
        ini.write("Station\\Recording\\SegmentSeconds=1\nStation\\Remote\\Port=0\nStation\\Web\\Port=0\n"
                  "Station\\Analysis\\Sensitivity=40\n")
    station = driver = None
    try:
        subprocess.run([station_program, folder, "--set-password"], input=PASSWORD.encode("cp1250"),
                       timeout=WAIT, check=True, stdout=subprocess.DEVNULL)
        stored = ini_values(folder)["Station\\Remote\\Password"]
        assert re.fullmatch("[0-9A-F]+", stored) and len(stored) == 2 * len(PASSWORD), stored

        output = os.path.join(folder, "stdout.txt")
        with open(output, "w") as out:
            station = subprocess.Popen([station_program, folder], stdout=out, stderr=subprocess.STDOUT)
        port = wait_until("the station prints its web address",
                          lambda: re.search(r"web pages on http://127\.0\.0\.1:(\d+)/", read(output)))
        base = "http://127.0.0.1:%s/" % port.group(1)
        driver = start_browser(profile)
        driver.set_window_size(1000, 1300)  # the whole status page in the screenshot

        check_locked(driver, base, folder)
        wait_until("a snapshot and a finished segment", lambda: any(n.endswith(".jpg") for n in os.listdir(folder))
                   and any(n.endswith(".avi") for n in os.listdir(folder)))
        driver.get(base + "login")
        wait_for(driver, "the login page", on_login_page)
        log_in(driver, "admin", PASSWORD)
        wait_for(driver, "the login leads to the status page", lambda d: d.find_elements(By.ID, "counters"))
        check_status(driver, base, shots)
        check_segments(driver, base, folder)
        new = check_sensitivity(driver, base, folder, 40)

        station.send_signal(signal.SIGTERM)
        assert station.wait(timeout=WAIT) == 0, "station exit %s" % station.returncode
        assert ini_values(folder)["Station\\Analysis\\Sensitivity"] == str(new)
        print("station web pages: all steps passed; screenshot in", shots)
        return 0
    except (AssertionError, subprocess.SubprocessError) as failure:
        print("FAILED:", failure)
        return 1
    finally:
        if driver:
            driver.quit()
        if station and station.poll() is None:
            station.kill()
            station.wait()
        shutil.rmtree(profile, ignore_errors=True)
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
