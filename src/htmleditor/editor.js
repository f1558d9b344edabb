// The HTML editor's side in the page. Runs in an isolated world: the page's
// own scripts are off, and nothing here is visible to them. Everything the
// widget asks goes through window.zorEditor; what the page reports (edits,
// caret moves, clicks, height) goes to the widget's bridge object.
(function () {
    'use strict';
    if (window.zorEditor)
        return;

    // Top-level body nodes as they were when the text was loaded, and those
    // changed since: the widget keeps the loaded source of the others.
    let original = new WeakMap();
    let dirty = new WeakSet();
    let mutated = false;
    let changes = 0;
    let bridge = null;
    let observer = null;

    const commands = ['bold', 'italic', 'underline', 'strikeThrough', 'subscript', 'superscript',
                      'insertOrderedList', 'insertUnorderedList', 'justifyLeft', 'justifyCenter',
                      'justifyRight', 'justifyFull'];

    function topLevel(node) {
        const body = document.body;
        while (node && node.parentNode !== body)
            node = node.parentNode;
        return node;
    }

    // Marks what the records touched; true when anything changed.
    function absorb(records) {
        const body = document.body;
        let any = false;
        for (const r of records) {
            any = true;
            if (r.target === body) {
                // Nodes added to the body are new, or moved originals whose
                // place in the text changed: either way written anew.
                for (const n of r.addedNodes)
                    if (n.parentNode === body)
                        dirty.add(n);
                continue;
            }
            const block = topLevel(r.target);
            if (block)
                dirty.add(block);
        }
        if (any) {
            mutated = true;
            ++changes;
        }
        return any;
    }

    function escapeText(text) {
        return text.replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;')
            .replace(/\u00a0/g, '&nbsp;');
    }

    function serialiseNode(n) {
        switch (n.nodeType) {
        case Node.ELEMENT_NODE: return n.outerHTML;
        case Node.TEXT_NODE: return escapeText(n.data);
        case Node.COMMENT_NODE: return '<!--' + n.data + '-->';
        default: return '';
        }
    }

    function signature(n) {
        switch (n.nodeType) {
        case Node.ELEMENT_NODE: return n.tagName.toLowerCase();
        case Node.TEXT_NODE: return '#text';
        case Node.COMMENT_NODE: return '#comment';
        default: return '#other';
        }
    }

    // A caret in the body, at its end when the selection is elsewhere.
    function ensureCaret() {
        const s = window.getSelection();
        if (s.rangeCount && document.body.contains(s.getRangeAt(0).commonAncestorContainer))
            return;
        const r = document.createRange();
        r.selectNodeContents(document.body);
        r.collapse(false);
        s.removeAllRanges();
        s.addRange(r);
    }

    function states() {
        const o = {};
        for (const c of commands) {
            try { o[c] = document.queryCommandState(c); } catch (e) { o[c] = false; }
        }
        return o;
    }

    function report(name, arg) {
        if (bridge && bridge[name])
            bridge[name](arg);
    }

    function height() {
        return Math.ceil(document.documentElement.scrollHeight);
    }

    window.zorEditor = {
        // Called once the text has loaded: remembers its top-level nodes and
        // returns their signatures; null when the text has no body.
        init: function (readOnly) {
            if (!document.body)
                return null;
            original = new WeakMap();
            dirty = new WeakSet();
            const signatures = [];
            let i = 0;
            for (const n of document.body.childNodes) {
                original.set(n, i++);
                signatures.push(signature(n));
            }
            try {
                const sheet = new CSSStyleSheet();
                sheet.replaceSync('html { cursor: text; } img { cursor: default; }');
                document.adoptedStyleSheets = [...document.adoptedStyleSheets, sheet];
            } catch (e) { /* the look only */ }
            document.designMode = readOnly ? 'off' : 'on';
            if (!observer) {
                observer = new MutationObserver(function (records) {
                    if (absorb(records))
                        report('changed', changes);
                });
                observer.observe(document.documentElement,
                                 {subtree: true, childList: true, attributes: true, characterData: true});
                document.addEventListener('selectionchange', function () {
                    report('selectionChanged', JSON.stringify(states()));
                });
                document.addEventListener('click', function (e) {
                    const el = e.target;
                    if (!(el instanceof Element))
                        return;
                    const r = el.getBoundingClientRect();
                    const attributes = {};
                    for (const a of el.attributes)
                        attributes[a.name] = a.value;
                    report('elementClicked', JSON.stringify({
                        tag: el.tagName.toLowerCase(), attributes: attributes,
                        loaded: el.tagName === 'IMG' && el.complete && el.naturalWidth > 0,
                        rect: [r.left, r.top, r.width, r.height], outer: el.outerHTML}));
                }, true);
                new ResizeObserver(function () { report('heightChanged', height()); })
                    .observe(document.documentElement);
            }
            observer.takeRecords();
            mutated = false;
            changes = 0;
            return signatures;
        },

        // Per top-level node: its index at init when unchanged, else its HTML
        // (all HTML with everything set). {unchanged: true} when nothing was
        // edited at all.
        serialise: function (everything) {
            if (observer)
                absorb(observer.takeRecords());
            if (!mutated && !everything)
                return {unchanged: true, changes: changes};
            const items = [];
            for (const n of document.body.childNodes) {
                if (!everything && original.has(n) && !dirty.has(n))
                    items.push(original.get(n));
                else
                    items.push(serialiseNode(n));
            }
            return {unchanged: false, items: items, changes: changes};
        },

        documentHTML: function () {
            const t = document.doctype;
            return (t ? '<!DOCTYPE ' + t.name + '>' : '') + document.documentElement.outerHTML;
        },

        insert: function (html) {
            if (document.designMode !== 'on')
                return {ok: false, changes: changes};
            ensureCaret();
            const ok = document.execCommand('insertHTML', false, html);
            if (observer)
                absorb(observer.takeRecords());
            return {ok: ok, changes: changes};
        },

        exec: function (command) {
            if (document.designMode !== 'on')
                return {ok: false, changes: changes};
            ensureCaret();
            const ok = document.execCommand(command, false, null);
            if (observer)
                absorb(observer.takeRecords());
            return {ok: ok, changes: changes};
        },

        state: function (command) {
            try { return document.queryCommandState(command); } catch (e) { return false; }
        },

        setReadOnly: function (readOnly) {
            document.designMode = readOnly ? 'off' : 'on';
        },

        caretToEnd: function () {
            const s = window.getSelection();
            const r = document.createRange();
            r.selectNodeContents(document.body);
            r.collapse(false);
            s.removeAllRanges();
            s.addRange(r);
        },

        // The caret where something was dropped (view coordinates).
        caretAt: function (x, y) {
            const r = document.caretRangeFromPoint(x, y);
            if (!r || !document.body.contains(r.startContainer))
                return;
            const s = window.getSelection();
            s.removeAllRanges();
            s.addRange(r);
        },

        height: height,
    };

    if (typeof QWebChannel !== 'undefined' && typeof qt !== 'undefined') {
        new QWebChannel(qt.webChannelTransport, function (channel) {
            bridge = channel.objects.bridge;
        });
    }
})();
