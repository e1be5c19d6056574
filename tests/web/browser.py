"""The web page in a real browser, against the service and the simulated card.
usage: browser.py SERVICE TARVSIM MAKE_DEMO_SETTINGS DATA_DIR OUT_DIR
Exit 77 (skipped) only where no browser is installed."""
import atexit, base64, decimal, json, os, shutil, subprocess, sys, tempfile, threading, time, urllib.parse, urllib.request

service, sim, make_settings, data, out = sys.argv[1:6]
if not (shutil.which("chromium") and shutil.which("chromedriver")):
    print("SKIP: chromium and chromium-driver are not installed")
    sys.exit(77)
from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By

PASSWORD = "pässwörd:1"
work = tempfile.mkdtemp(prefix="tarv-web-")
atexit.register(shutil.rmtree, work, ignore_errors=True)  # at exit, after all started stopped
downloads = os.path.join(work, "downloads")
OLD_LOG = b"TIME,Sine 10V\r\n10:00:00,1.5\r\n\xc3\xa9\x00\xff"


def wait(what, seconds, poll=0.05, saw=lambda: ""):
    """Polls until what() is true; the seconds it took, or an AssertionError."""
    start = time.monotonic()
    while not what():
        assert time.monotonic() - start < seconds, f"not within {seconds} s: {saw()}"
        time.sleep(poll)
    return time.monotonic() - start


put = lambda name, data: open(os.path.join(work, name), "wb").write(data)
for table in ("j.tc", "k.tc"):
    shutil.copy(os.path.join(data, table), work)
subprocess.run([make_settings, work], check=True)
put("web.pw", f"{PASSWORD}\n".encode())
os.chmod(os.path.join(work, "web.pw"), 0o600)
put("tarvane.ini", b"[web]\nenabled=true\nlisten=127.0.0.1:0\nusername=op\npassword_file=web.pw\n"
    b"[alarm.1]\nchannel=4\nname=Hot\nhigh=30\n")
put("demo-log-2026-12-07.csv", OLD_LOG)

card = subprocess.Popen([sim, "--dir", work], stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, text=True)
atexit.register(lambda: (card.terminate(), card.wait(10)))
wait(lambda: os.path.exists(os.path.join(work, "COM1")), 10)
daemon = subprocess.Popen([service, "--dir", work], stderr=subprocess.PIPE, text=True)
atexit.register(lambda: (daemon.terminate(), daemon.wait(10)))
journal = []
threading.Thread(target=lambda: journal.extend(daemon.stderr), daemon=True).start()
wait(lambda: any("web page on http://" in line for line in journal), 10)
port = next(l for l in journal if "web page on" in l).split("127.0.0.1:")[1].split("/")[0]
base = f"http://127.0.0.1:{port}/"
login = "Basic " + base64.b64encode(f"op:{PASSWORD}".encode()).decode()


def tell_card(command):
    card.stdin.write(command + "\n")
    card.stdin.flush()


def api_values():
    request = urllib.request.Request(base + "api/values", headers={"Authorization": login})
    return json.load(urllib.request.urlopen(request, timeout=5))["channels"]


options = webdriver.ChromeOptions()
for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
             "--disable-background-networking", "--disable-component-update", "--disable-sync",
             "--window-size=1280,1000", "--user-data-dir=" + os.path.join(work, "profile")):
    options.add_argument(flag)
options.add_experimental_option("prefs", {"download.default_directory": downloads})
browser = webdriver.Chrome(service=Service(shutil.which("chromedriver")), options=options)
atexit.register(browser.quit)
# The browser logs in as an operator would, and every later request, the
# WebSocket's included, carries that login.
browser.get(base.replace("//", f"//op:{urllib.parse.quote(PASSWORD, safe='')}@"))
page = lambda script: browser.execute_script(script)
wait(lambda: browser.find_element(By.ID, "link").text == "live", 10)
shown = lambda: page("return [...Array(8).keys()].map(c => [document.getElementById(`ch${c}-value`)"
                     ".dataset.value, document.getElementById(`ch${c}-value`).textContent,"
                     " document.getElementById(`ch${c}-quality`).textContent])")

# Steady inputs, so that the page and /api/values show the same frame's values.
tell_card("cal 0v")
wait(lambda: api_values()[7]["value"] == 0, 5)
# The analog view's form: 2, 1 or no decimals by input type, halves away from zero, no "-0".
places = lambda kind: decimal.Decimal(1).scaleb(-(2 if kind < 4 else 1 if kind == 4 else 0))
rounded = lambda v, kind: decimal.Decimal(v).quantize(places(kind), decimal.ROUND_HALF_UP)
text = lambda v, kind: str(rounded(v, kind).copy_abs() if rounded(v, kind) == 0 else rounded(v, kind))
expected = [[float(c["value"]), text(c["value"], c["type"]), c["quality"] + (f", {c['reason']}" if c["reason"] else "")]
            for c in api_values()]
# Within a tick; the margin is this test's own polling on a busy machine.
took = wait(lambda: [[float(v), t, q] for v, t, q in shown()] == expected, 1.5,
            saw=lambda: f"{shown()} where /api/values had {expected}")
print(f"the page showed the values of /api/values {took:.2f} s after /api/values had them")

tell_card("cal off")
wait(lambda: all(q == "good" for _, _, q in shown()), 5)
tell_card("break 3 open")
took = wait(lambda: shown()[3][2].startswith("bad"), 2)
print(f"a broken sensor showed bad after {took:.2f} s")
tell_card("mend 3")

lines = lambda: page("return [...Array(16).keys()].map(k => document.getElementById(`line${k}`).className)")
assert all("output" not in c for c in lines()) and all("on" in lines()[k] for k in (9, 11, 15))
first = lines()[0]
wait(lambda: lines()[0] != first, 5)  # input 0 toggles every 2 s

alarms = lambda: browser.find_element(By.ID, "alarms").text
if "no alarm rules" in alarms():
    print("SKIP alarm part: the service keeps no alarm rules ([alarm.1] was written), so none can show")
else:
    tell_card("cal 10v")  # the PT-100 reads far above 30 degrees
    wait(lambda: "Hot" in alarms(), 5)
    tell_card("cal off")
    wait(lambda: "Hot" not in alarms(), 5)

# The trend draws the frames as they come; paused it stands still, and the
# readout under the pointer names the channels.
trend = browser.find_element(By.ID, "trend")
picture = lambda: page("return document.getElementById('trend').toDataURL()")
before = picture()
wait(lambda: picture() != before, 3, 0.2)
browser.find_element(By.ID, "pause").click()
before = picture()
time.sleep(2.5)
assert picture() == before, "a paused trend moved"
browser.find_element(By.ID, "pause").click()
ActionChains(browser).move_to_element(trend).perform()
assert "Sine 10V" in browser.find_element(By.ID, "readout").text

names = lambda: [a.text for a in browser.find_elements(By.CSS_SELECTOR, "#logs a")]
wait(lambda: names() == ["demo-log-2026-12-07.csv", "demo-log.csv"], 5, saw=names)
browser.find_element(By.LINK_TEXT, "demo-log-2026-12-07.csv").click()
saved = os.path.join(downloads, "demo-log-2026-12-07.csv")
wait(lambda: os.path.exists(saved) and open(saved, "rb").read() == OLD_LOG, 10)

page("window.scrollTo(0, 0)")
browser.save_screenshot(os.path.join(out, "web-page.png"))
left = lambda: page("return [...document.querySelectorAll('main > section')].map(s => s.getBoundingClientRect().left)")
assert len(set(left())) == 2, "two columns on a wide window"
browser.set_window_size(420, 1000)
wait(lambda: len(set(left())) == 1, 2)
browser.save_screenshot(os.path.join(out, "web-page-narrow.png"))
print(f"PASS; screenshots in {out}")
