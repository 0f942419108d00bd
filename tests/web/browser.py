"""The page in a real headless browser, Chromium or Firefox, for the
browser tests and the page's benchmark: serves the built folder on a free
port, starts the browser with a fresh profile and a download folder, and
keeps every request the page makes and every console error, so that a test
can show that nothing left the page's own origin. Both engines offer the
tests Selenium's WebDriver as page.driver: Chromium through chromedriver,
Firefox over Marionette (firefox.py). Run under /usr/bin/python3, which has
Debian's Selenium."""
import base64
import json
import os
import shutil
import sys
import tempfile

from selenium import webdriver
from selenium.common.exceptions import WebDriverException
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

from firefox import Firefox

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'web'))
from serve import serve  # noqa: E402

ENGINES = ('chromium', 'firefox')
FLAGS = ['--headless=new', '--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage', '--disable-quic',
         '--no-first-run', '--disable-background-networking', '--disable-component-update', '--disable-sync',
         '--disable-default-apps', '--disable-extensions']

# The errors Firefox's console shows for pages, as Chromium's log gives them:
# what a script threw and what the page's policy blocked. (A page's own
# console.error() calls stay in its content process, out of reach.)
FIREFOX_ERRORS = """
return Services.console.getMessageArray()
  .filter((m) => m instanceof Ci.nsIScriptError && !m.isFromChromeContext
                 && !(m.flags & (Ci.nsIScriptError.warningFlag | Ci.nsIScriptError.infoFlag))
                 && !/^(chrome|resource|about|moz-src):/.test(m.sourceName || ''))
  .map((m) => `${m.category}: ${m.errorMessage} (${m.sourceName}:${m.lineNumber})`);"""


def engine_option(parser):
    parser.add_argument('--engine', choices=ENGINES, default='chromium', help='the browser to drive')


class Page:
    """with Page(folder, engine=...) as page: page.driver is the WebDriver,
    at the page."""

    def __init__(self, folder, width=1024, height=768, engine='chromium'):
        assert engine in ENGINES, engine
        self.folder, self.size, self.engine = folder, (width, height), engine
        self.requests, self.console = [], []
        self.server = self.driver = None
        self.profile = tempfile.mkdtemp(prefix='orvane-page-profile-')
        self.downloads = tempfile.mkdtemp(prefix='orvane-page-downloads-')

    def __enter__(self):
        try:
            self.server = serve(self.folder)
            self.origin = f'http://127.0.0.1:{self.server.server_address[1]}'
            if self.engine == 'firefox':
                self.driver = Firefox(self.downloads, *self.size)
            else:
                self.driver = self._chromium()
            self.driver.get(self.origin + '/index.html')
            self.wait(lambda: self.driver.find_element(By.TAG_NAME, 'body').get_attribute('data-ready') == '1',
                      'the page never became ready')
            if self.engine == 'firefox':
                # The window's toolbars keep it 500 px wide at least, too
                # wide for a phone's layout.
                self.driver.chrome_script("for (const e of [document.documentElement, "
                                          "document.getElementById('navigator-toolbox')]) e.style.minWidth = '0px'")
            return self
        except BaseException:
            self.__exit__(None, None, None)
            raise

    def _chromium(self):
        options = webdriver.ChromeOptions()
        options.binary_location = '/usr/bin/chromium'
        for flag in FLAGS + [f'--user-data-dir={self.profile}', '--window-size=%d,%d' % self.size]:
            options.add_argument(flag)
        options.set_capability('goog:loggingPrefs', {'browser': 'ALL', 'performance': 'ALL'})
        driver = webdriver.Chrome(service=Service('/usr/bin/chromedriver'), options=options)
        driver.execute_cdp_cmd('Page.setDownloadBehavior', {'behavior': 'allow', 'downloadPath': self.downloads})
        # The log already holds the start-up tab's own requests.
        driver.get_log('performance')
        return driver

    def __exit__(self, *exc):
        if self.driver:
            try:
                self.driver.quit()
            except (WebDriverException, RuntimeError):
                pass
        if self.server:
            self.server.shutdown()
            self.server.server_close()
        shutil.rmtree(self.profile, ignore_errors=True)
        shutil.rmtree(self.downloads, ignore_errors=True)

    def stop_server(self):
        """Stops the page's server, as a network gone away: whatever the
        page still gets, it gets from its own service worker."""
        self.server.shutdown()
        self.server.server_close()
        self.server = None

    def drop(self, target_id, name, data):
        """Drops a file of these bytes on the element, as a person drags one
        from the desktop: dragover, then drop, with a DataTransfer."""
        self.driver.execute_script("""
            const [id, name, encoded] = arguments;
            const bytes = Uint8Array.from(atob(encoded), (c) => c.charCodeAt(0));
            const transfer = new DataTransfer();
            transfer.items.add(new File([bytes], name));
            const target = document.getElementById(id);
            for (const type of ['dragenter', 'dragover', 'drop'])
                target.dispatchEvent(new DragEvent(type, {bubbles: true, cancelable: true, dataTransfer: transfer}));
            """, target_id, name, base64.b64encode(data).decode())

    def runs(self, row, **reasons):
        """Whether a row runs in this engine; where it cannot, says so and
        why: if page.runs('the zoom', firefox='Firefox has no ...'): ..."""
        reason = reasons.get(self.engine)
        if reason:
            print(f'{row}: skipped in {self.engine}: {reason}', flush=True)
        return not reason

    def wait(self, condition, what, timeout=10):
        try:
            return WebDriverWait(self.driver, timeout).until(lambda _: condition())
        except Exception as error:
            raise AssertionError(f'{what} (after {timeout} s)') from error

    def by_id(self, id):
        return self.driver.find_element(By.ID, id)

    def click(self, id):
        """Clicks the element once it is scrolled to the middle of the
        window, where a person would see it rather than under the bar."""
        element = self.by_id(id)
        self.driver.execute_script("arguments[0].scrollIntoView({block: 'center'})", element)
        element.click()
        return element

    def text(self, id):
        return self.by_id(id).text

    def choose(self, input_id, path):
        self.by_id(input_id).send_keys(os.path.abspath(path))

    def downloaded(self, name, timeout=10):
        """The bytes of a finished download, which is then moved away so
        that the next one of the same name is not renamed."""
        path = os.path.join(self.downloads, name)
        self.wait(lambda: os.path.exists(path) and not self.downloading(), f'{name} was never downloaded', timeout)
        with open(path, 'rb') as file:
            data = file.read()
        os.remove(path)
        return data

    def downloading(self):
        """Whether a download is still being written: Chromium writes it
        to NAME.crdownload, Firefox to NAME.part beside an empty NAME."""
        return any(name.endswith(('.crdownload', '.part')) for name in os.listdir(self.downloads))

    def download_count(self):
        return len(os.listdir(self.downloads))

    def collect(self):
        if self.engine == 'firefox':
            # Firefox keeps no log of requests a client can read; the
            # resource entries below and a blocked request's console error
            # are what it has.
            self.console = [{'level': 'SEVERE', 'message': error}
                            for error in self.driver.chrome_script(FIREFOX_ERRORS)]
            return
        for entry in self.driver.get_log('performance'):
            message = json.loads(entry['message'])['message']
            if message['method'] == 'Network.requestWillBeSent':
                self.requests.append(message['params']['request']['url'])
        self.console += self.driver.get_log('browser')

    def check_origin(self):
        """Every request went to the page's own origin (a download's blob:
        URL is the page's own too), and the console holds no error: a
        request the policy blocked shows only there."""
        self.collect()
        self.requests += self.driver.execute_script(
            "return performance.getEntriesByType('resource').map(e => e.name)")
        strangers = [url for url in self.requests
                     if not (url.startswith(self.origin + '/') or url.startswith('blob:' + self.origin + '/'))]
        assert not strangers, f'requests left {self.origin}: {strangers}'
        errors = [entry['message'] for entry in self.console if entry['level'] == 'SEVERE']
        assert not errors, f'console errors: {errors}'
        assert self.requests, 'no request was seen at all, so the check saw nothing'

    def screenshot(self, path, width, height=900, inner=None):
        self.driver.set_window_size(width, height)
        inner = inner or width
        self.wait(lambda: self.driver.execute_script('return window.innerWidth') == inner,
                  f'the window never became {inner} px wide inside')
        self.driver.save_screenshot(path)

    def dark(self, dark=True):
        """Makes the page see prefers-color-scheme: dark, or light."""
        if self.engine == 'firefox':
            # The content's own scheme: 0 dark, 1 light.
            self.driver.chrome_script("Services.prefs.setIntPref('layout.css.prefers-color-scheme.content-override', "
                                      "arguments[0])", 0 if dark else 1)
        else:
            self.driver.execute_cdp_cmd('Emulation.setEmulatedMedia', {'features': [
                {'name': 'prefers-color-scheme', 'value': 'dark' if dark else 'light'}]})
        self.wait(lambda: self.driver.execute_script("return matchMedia('(prefers-color-scheme: dark)').matches")
                  == dark, f"the page never saw the {'dark' if dark else 'light'} scheme")

    def zoomed(self, path, zoom=2, width=1280, height=900):
        """A screenshot of a window of width x height at the browser's
        zoom: a 1280 px window at 200 % lays the page out in 640 CSS
        pixels, each drawn twice as large."""
        if self.engine == 'firefox':
            self.driver.chrome_script('ZoomManager.setZoomForBrowser(gBrowser.selectedBrowser, arguments[0])', zoom)
            self.screenshot(path, width, height, inner=width // zoom)
            self.driver.chrome_script('ZoomManager.setZoomForBrowser(gBrowser.selectedBrowser, 1)')
        else:
            self.driver.execute_cdp_cmd('Emulation.setDeviceMetricsOverride',
                                        {'width': width // zoom, 'height': height // zoom,
                                         'deviceScaleFactor': zoom, 'mobile': False})
            self.driver.save_screenshot(path)
            self.driver.execute_cdp_cmd('Emulation.clearDeviceMetricsOverride', {})
