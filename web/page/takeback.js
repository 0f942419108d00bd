// Taking the work back: the edited image under the file's own name, or a
// patch from the file as opened, both made by the core; and a question
// before the tab closes on edits not yet taken back.

const $ = (id) => document.getElementById(id);
let page;

// Hands the bytes to the browser as a download; nothing leaves the computer.
export function download(bytes, name, type) {
  const url = URL.createObjectURL(new Blob([bytes], { type }));
  const link = document.createElement('a');
  link.href = url;
  link.download = name;
  document.body.append(link);
  link.click();
  link.remove();
  // The download has its own hold on the blob by the time the next task runs.
  setTimeout(() => URL.revokeObjectURL(url), 1000);
}

function say(text) {
  $('takeback-message').textContent = text;
}

function saveImage() {
  const fix = $('fix-checksum').checked;
  const bytes = page.session.image(fix);
  download(bytes, page.info.name, 'application/octet-stream');
  page.session.markSaved();
  page.updateCount();
  say(`Saved ${page.info.name} (${page.grouped(bytes.length)} bytes`
      + `${fix ? ', checksum pair made sound' : ''}) to your downloads.`);
}

function savePatch() {
  const format = document.querySelector('input[name=patch-format]:checked').value;
  const made = page.session.patch(format, $('fix-checksum').checked);
  const name = `${page.stem()}.${format.toLowerCase()}`;
  if (made.error) {
    say(`${name}: ${made.error}`);
    return;
  }
  download(made.bytes, name, 'application/octet-stream');
  page.session.markSaved();
  page.updateCount();
  say(`${name}: ${made.summary}${made.warning ? ` Warning: ${made.warning}` : ''}`);
}

export function resetTakeBack() {
  say('');
}

export function setupTakeBack(shared) {
  page = shared;
  $('save-image').addEventListener('click', saveImage);
  $('save-patch').addEventListener('click', savePatch);
  window.addEventListener('beforeunload', (event) => {
    if (page.session.isOpen() && page.session.unsaved()) {
      event.preventDefault();
      event.returnValue = '';
    }
  });
}
