"""Selenium's WebDriver, driving Firefox over Marionette: Debian packages no
geckodriver, so marionette.pl (Debian's Firefox::Marionette) starts Firefox
and carries the commands, and this turns Selenium's commands into
Marionette's. The tests then use one API, WebElement, WebDriverWait and
ActionChains included, in both engines."""
import json
import os
import queue
import subprocess
import threading

from selenium.webdriver.remote.command import Command
from selenium.webdriver.remote.webdriver import WebDriver

MARIONETTE = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'marionette.pl')

# Selenium's command: Marionette's. An element's commands take its "id" in
# both, except a search from an element, which Marionette calls "element".
COMMANDS = {
    Command.GET: 'WebDriver:Navigate', Command.GET_CURRENT_URL: 'WebDriver:GetCurrentURL',
    Command.GET_TITLE: 'WebDriver:GetTitle', Command.REFRESH: 'WebDriver:Refresh',
    Command.GET_PAGE_SOURCE: 'WebDriver:GetPageSource',
    Command.FIND_ELEMENT: 'WebDriver:FindElement', Command.FIND_ELEMENTS: 'WebDriver:FindElements',
    Command.FIND_CHILD_ELEMENT: 'WebDriver:FindElement', Command.FIND_CHILD_ELEMENTS: 'WebDriver:FindElements',
    Command.W3C_GET_ACTIVE_ELEMENT: 'WebDriver:GetActiveElement',
    Command.CLICK_ELEMENT: 'WebDriver:ElementClick', Command.CLEAR_ELEMENT: 'WebDriver:ElementClear',
    Command.SEND_KEYS_TO_ELEMENT: 'WebDriver:ElementSendKeys',
    Command.GET_ELEMENT_TEXT: 'WebDriver:GetElementText',
    Command.GET_ELEMENT_TAG_NAME: 'WebDriver:GetElementTagName',
    Command.IS_ELEMENT_SELECTED: 'WebDriver:IsElementSelected',
    Command.IS_ELEMENT_ENABLED: 'WebDriver:IsElementEnabled',
    Command.GET_ELEMENT_RECT: 'WebDriver:GetElementRect',
    Command.GET_ELEMENT_ATTRIBUTE: 'WebDriver:GetElementAttribute',
    Command.GET_ELEMENT_PROPERTY: 'WebDriver:GetElementProperty',
    Command.GET_ELEMENT_VALUE_OF_CSS_PROPERTY: 'WebDriver:GetElementCSSValue',
    Command.W3C_EXECUTE_SCRIPT: 'WebDriver:ExecuteScript',
    Command.W3C_EXECUTE_SCRIPT_ASYNC: 'WebDriver:ExecuteAsyncScript',
    Command.SCREENSHOT: 'WebDriver:TakeScreenshot', Command.ELEMENT_SCREENSHOT: 'WebDriver:TakeScreenshot',
    Command.SET_WINDOW_RECT: 'WebDriver:SetWindowRect', Command.GET_WINDOW_RECT: 'WebDriver:GetWindowRect',
    Command.W3C_ACTIONS: 'WebDriver:PerformActions', Command.W3C_CLEAR_ACTIONS: 'WebDriver:ReleaseActions',
    Command.SET_TIMEOUTS: 'WebDriver:SetTimeouts', Command.GET_TIMEOUTS: 'WebDriver:GetTimeouts',
    Command.W3C_GET_CURRENT_WINDOW_HANDLE: 'WebDriver:GetWindowHandle',
    Command.W3C_GET_WINDOW_HANDLES: 'WebDriver:GetWindowHandles',
    Command.NEW_WINDOW: 'WebDriver:NewWindow', Command.SWITCH_TO_WINDOW: 'WebDriver:SwitchToWindow',
}

# Firefox's start on a busy machine takes half a minute and more.
START_TIMEOUT, COMMAND_TIMEOUT = 180, 120


class Marionette:
    """marionette.pl, with Selenium's command executor's execute()."""

    def __init__(self, downloads, width, height):
        self.process = subprocess.Popen(['/usr/bin/perl', MARIONETTE, downloads, str(width), str(height)],
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE, encoding='ascii')
        self.replies = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()
        try:
            self.version = self._reply(START_TIMEOUT, 'Firefox did not start')['version']
        except BaseException:
            self.close()
            raise

    def _read(self):
        for line in self.process.stdout:
            self.replies.put(json.loads(line))
        self.replies.put(None)

    def _reply(self, timeout, what):
        try:
            reply = self.replies.get(timeout=timeout)
        except queue.Empty:
            raise RuntimeError(f'{what}: no answer from marionette.pl in {timeout} s') from None
        if reply is None:
            raise RuntimeError(f'{what}: marionette.pl ended (exit {self.process.wait()})')
        return reply

    def call(self, name, parameters=None):
        """The result of one Marionette command; its error, raised."""
        self.process.stdin.write(json.dumps({'name': name, 'parameters': parameters or {}}) + '\n')
        self.process.stdin.flush()
        reply = self._reply(COMMAND_TIMEOUT, name)
        if reply['error']:
            raise MarionetteError(reply['error'])
        return reply['result']

    def execute(self, command, params):
        if command == Command.NEW_SESSION:
            return {'value': {'sessionId': 'marionette', 'capabilities': {'browserName': 'firefox',
                                                                          'browserVersion': self.version}}}
        if command == Command.QUIT:
            return {'value': None}
        if command not in COMMANDS:
            raise NotImplementedError(f'{command} is not carried to Firefox')
        params = {key: value for key, value in (params or {}).items() if key != 'sessionId' and value is not None}
        if command in (Command.FIND_CHILD_ELEMENT, Command.FIND_CHILD_ELEMENTS):
            params['element'] = params.pop('id')
        elif command == Command.SEND_KEYS_TO_ELEMENT:
            params.pop('value', None)
        elif command in (Command.SCREENSHOT, Command.ELEMENT_SCREENSHOT):
            params.update(full=False, hash=False)
        try:
            result = self.call(COMMANDS[command], params)
        except MarionetteError as error:
            return {'status': error.error, 'message': error.message, 'value': error.reply}
        # Marionette sends a value alone wrapped, lists and rectangles bare.
        return {'value': result['value'] if isinstance(result, dict) and 'value' in result else result}

    def close(self):
        """Ends Firefox: marionette.pl quits it at the end of its input."""
        if self.process.stdin and not self.process.stdin.closed:
            self.process.stdin.close()
        try:
            self.process.wait(timeout=60)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


class MarionetteError(Exception):
    def __init__(self, reply):
        super().__init__(f"{reply.get('error')}: {reply.get('message')}")
        self.reply, self.error, self.message = reply, reply.get('error'), reply.get('message')


class Firefox(WebDriver):
    """A fresh headless Firefox that saves downloads into the folder given."""

    def __init__(self, downloads, width, height):
        super().__init__(command_executor=Marionette(downloads, width, height))
        # The files a test chooses are on this machine: Selenium sends their
        # paths as they are rather than uploading them.
        self._is_remote = False

    def chrome_script(self, script, *args):
        """Runs script in the browser's own window, with Firefox's
        privileges, then goes back to the page."""
        marionette = self.command_executor
        marionette.call('Marionette:SetContext', {'value': 'chrome'})
        try:
            return marionette.call('WebDriver:ExecuteScript', {'script': script, 'args': list(args)})['value']
        finally:
            marionette.call('Marionette:SetContext', {'value': 'content'})
