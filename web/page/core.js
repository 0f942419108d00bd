// The shapes the core's binding (web/binding/Binding.cpp) gives the page's
// scripts, declared in one place, and the one way to take a list out of it.

/**
 * @typedef {object} Category  one of NameTables::All, in its order
 * @property {string} word  "characters", "monsters", "magic" or "items"
 * @property {number} entries
 * @property {number} nameLength  the name field's length in bytes
 * @property {boolean} hasLeadingByte
 *
 * @typedef {object} FormInfo  a form of list, in the order of NameList::forms()
 * @property {string} name  "lines", "JSON", "CSV" or "PO"
 * @property {string} keyword  lower case, as dump's option
 * @property {string} ending  ".txt", ".json", ...
 * @property {string} mediaType
 *
 * @typedef {object} EvidenceWords  what info().evidence says decided the copier header
 * @property {string} option
 * @property {string} internalHeader
 * @property {string} size
 * @property {string} assumed
 *
 * @typedef {object} Info
 * @property {string} name
 * @property {number} size
 * @property {boolean} copierHeader
 * @property {string} evidence  one of the EvidenceWords
 * @property {?string} title
 * @property {?string} storedChecksum  "0x1234"
 * @property {?string} storedComplement
 * @property {string} computedChecksum
 * @property {boolean} checksumValid
 *
 * @typedef {object} Row  an entry as the image now holds it
 * @property {number} index
 * @property {string} leading  the leading byte in hex, "-" where the table has none
 * @property {string} name  without the blanks that pad the field
 * @property {number} used  bytes before the trailing blanks
 * @property {number} length  the field's length
 * @property {string} hex  the field's bytes
 * @property {boolean} changed  differs from the file as opened
 *
 * @typedef {object} Check  what a name would do to its field
 * @property {string} refusal  why it cannot be written, or ""
 * @property {boolean} changes
 * @property {string} holds
 * @property {string} hex
 * @property {number} used
 *
 * @typedef {object} Change  a change a list or a patch would make
 * @property {string} category
 * @property {number} index
 * @property {string} before
 * @property {string} after
 * @property {string} beforeHex
 * @property {string} afterHex
 *
 * @typedef {object} Preview  a list read and checked, lists as the core's vectors
 * @property {string} unreadable  why the list could not be read, or ""
 * @property {CoreList<string>} problems  the first ones, then how many more
 * @property {number} problemCount
 * @property {CoreList<string>} notes
 * @property {CoreList<Change>} changes
 * @property {CoreList<string>} conflicts  each with its three names, then how many more
 * @property {number} conflictCount
 *
 * @typedef {object} PatchPreview  a patch applied to the image as it now is, not yet put in
 * @property {string} refusal  why it cannot be applied, or ""
 * @property {CoreList<string>} notes  what it does besides, as diff IMAGE PATCH notes it
 * @property {CoreList<Change>} changes  the names it changes
 * @property {number} otherBytes  bytes it changes outside the name fields
 *
 * Session.imageWarning(fixChecksum) gives the command's warning of a saved
 * image whose checksum pair is no longer sound, or "".
 *
 * @typedef {object} Exported  a list of names written, as dump writes it
 * @property {?Uint8Array} bytes  null when refused
 * @property {string} error
 *
 * @typedef {object} Patched
 * @property {?Uint8Array} bytes  null when refused
 * @property {string} error
 * @property {string} summary
 * @property {string} warning
 */

// useTable(name, bytes) reads and writes every name through the game's table
// with the file laid over it, or gives the refusal ("FILE:LINE: reason") and
// keeps the table in use; writable() gives a CoreList<string> of the texts
// the table in use can write.

// rows(), undo() and redo() give the UTF-8 bytes of a JSON text of Row[][],
// which tablesOf reads: a list for each category, in the order of
// categories(); an undo or a redo gives only the rows it touched. The rows
// cross from the core at once, where value objects would cross field by
// field and a string byte by byte.

/**
 * Session.glanceSpans(size) gives a CoreList<Span>: the parts of a file of
 * that size to read first; glance(name, size, bytes), given their bytes one
 * after another, what opening the whole file would show (Glanced).
 * @typedef {object} Span
 * @property {number} offset
 * @property {number} length
 *
 * @typedef {object} Glanced
 * @property {string} refusal  why open would refuse the file, or ""
 * @property {?Uint8Array} rows  as rows() gives them; null when the spans do not tell
 */

/**
 * A vector of the core's: size(), get(i) and delete().
 * @template T
 * @typedef {{ size(): number, get(i: number): T, delete(): void }} CoreList
 */

const decoder = new TextDecoder();

/**
 * The lists of rows that rows(), undo(), redo() or a glance gave.
 * @param {Uint8Array} bytes
 * @returns {Row[][]}
 */
export function tablesOf(bytes) {
  return JSON.parse(decoder.decode(bytes));
}

/**
 * The elements of a vector of the core's as an array; the vector is freed.
 * @template T
 * @param {CoreList<T>} list
 * @returns {T[]}
 */
export function arrayOf(list) {
  const out = new Array(list.size());
  for (let i = 0; i < out.length; ++i)
    out[i] = list.get(i);
  list.delete();
  return out;
}
