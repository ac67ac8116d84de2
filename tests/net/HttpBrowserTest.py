#!/usr/bin/python3
# A real browser logs in to the web server: Debian's Chromium, headless,
# driven by selenium. It opens the protected home page, is sent to the login
# page, types the user name and a password with a Polish letter, presses the
# button (the page's own script computes the response), lands on the home
# page; a wrong password shows the Polish message; logout shows its message
# and locks the home page again. The served scripts' digests are checked
# against Python's hashlib over every 8-bit character. Screenshots go to the
# output folder.
#
# Usage: HttpBrowserTest.py <server program> <output folder>
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

WAIT = 60  # seconds for any one page to reach the state we wait for

WRONG = "Zła nazwa użytkownika lub hasło."
LOGGED_OUT = "Użytkownik został wylogowany."


def start_browser(profile):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                 "--disable-component-update", "--disable-sync", "--no-first-run", "--disable-dev-shm-usage",
                 "--window-size=800,600", "--user-data-dir=" + profile):
        options.add_argument(flag)
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    driver.set_page_load_timeout(WAIT)
    return driver


def wait_for(driver, what, condition):
    try:
        WebDriverWait(driver, WAIT).until(lambda d: condition(d))
    except Exception:
        raise AssertionError("%s; the browser is at %s showing:\n%s" % (what, driver.current_url, driver.page_source))


def on_login_page(driver):
    return driver.current_url.endswith("/login") and driver.find_elements(By.ID, "loginForm")


def login_message(driver):
    return driver.find_element(By.CSS_SELECTOR, "#loginForm td[colspan]").text.strip()


def log_in(driver, user, password):
    driver.find_element(By.CSS_SELECTOR, "#loginForm input[name=username]").send_keys(user)
    driver.find_element(By.CSS_SELECTOR, "#loginForm input[name=password]").send_keys(password)
    driver.find_element(By.CSS_SELECTOR, "#loginForm input[name=submit]").click()


def check_scripts(driver, base):
    driver.get(base + "scripts")
    wait_for(driver, "the scripts page ran", lambda d: d.find_element(By.ID, "out").text)
    lines = driver.find_element(By.ID, "out").text.splitlines()
    assert len(lines) == 43, lines
    for line in lines:
        n, sha1, md5 = line.split(" ")
        data = bytes((i * 37 + int(n)) & 255 for i in range(int(n)))
        assert sha1 == hashlib.sha1(data).hexdigest().upper(), line
        assert md5 == hashlib.md5(data).hexdigest(), line


def run(driver, base, shots):
    check_scripts(driver, base)

    driver.get(base)
    wait_for(driver, "the protected page sent the browser to the login page", on_login_page)
    assert login_message(driver) == "", login_message(driver)
    driver.save_screenshot(os.path.join(shots, "1-login.png"))

    log_in(driver, "admin", "tajne hasło!")
    wait_for(driver, "a wrong password shows the login page with its message",
             lambda d: on_login_page(d) and login_message(d) == WRONG)
    driver.save_screenshot(os.path.join(shots, "2-wrong-password.png"))

    log_in(driver, "admin", "tajne hasło")
    wait_for(driver, "the login leads to the protected page", lambda d: d.find_elements(By.ID, "home"))
    assert driver.find_element(By.ID, "rights").text == "5"
    assert driver.get_cookie("Login")["value"] == "1"
    driver.save_screenshot(os.path.join(shots, "3-protected-page.png"))

    driver.get(base)
    wait_for(driver, "the session lets the browser in again", lambda d: d.find_elements(By.ID, "home"))

    driver.find_element(By.ID, "logout").click()
    wait_for(driver, "logout shows the login page with its message",
             lambda d: on_login_page(d) and login_message(d) == LOGGED_OUT)
    driver.save_screenshot(os.path.join(shots, "4-logged-out.png"))

    driver.get(base)
    wait_for(driver, "after logout the protected page is locked again", on_login_page)


def local_only():
    # Keeps the browser and urllib off any proxy: every address here is 127.0.0.1.
    for name in ("http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"):
        os.environ.pop(name, None)
    os.environ["NO_PROXY"] = "127.0.0.1,localhost"


def main():
    server_program, shots = sys.argv[1], sys.argv[2]
    os.makedirs(shots, exist_ok=True)
    local_only()
    profile = tempfile.mkdtemp(prefix="zep3-chromium-")
    server = subprocess.Popen([server_program], stdout=subprocess.PIPE, text=True)
    driver = None
    try:
        port = int(server.stdout.readline())
        base = "http://127.0.0.1:%d/" % port
        driver = start_browser(profile)
        run(driver, base, shots)
        driver.get(base + "quit")
        server.wait(timeout=WAIT)
        assert server.returncode == 0, "server exit %s" % server.returncode
        print("browser login: all steps passed; screenshots in", shots)
        return 0
    except AssertionError as failure:
        print("FAILED:", failure)
        return 1
    finally:
        if driver:
            driver.quit()
        if server.poll() is None:
            server.kill()
            server.wait()
        shutil.rmtree(profile, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
