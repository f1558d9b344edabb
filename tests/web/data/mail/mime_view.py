"""Python's view of a message, as JSON, for comparison with our reader and
writer: headers we type, the part tree (depth first, containers included,
parent -1 for the message), texts and digests of binary payloads, defects.
usage: mime_view.py FILE"""
import email
import hashlib
import json
import sys
from email import policy

msg = email.message_from_bytes(open(sys.argv[1], "rb").read(), policy=policy.default)
parts = []
defects = []


def addresses(name):
    header = msg.get(name)
    if header is None:
        return []
    return [[a.display_name, a.addr_spec] for a in header.addresses]


def leaf(part, parent):
    entry = {"type": part.get_content_type(), "parent": parent,
             "filename": part.get_filename() or "", "cid": str(part.get("Content-ID", "")).strip(),
             "disposition": part.get_content_disposition() or ""}
    if part.get_content_maintype() == "text" and entry["disposition"] != "attachment":
        entry["text"] = part.get_content()
    elif part.get_content_maintype() != "message":
        payload = part.get_payload(decode=True) or b""
        entry["sha256"] = hashlib.sha256(payload).hexdigest()
        entry["size"] = len(payload)
    return entry


def walk(part, parent):
    defects.extend(type(d).__name__ for d in part.defects)
    if part.is_multipart() and part.get_content_maintype() == "multipart":
        index = -1
        if parent is not None:
            index = len(parts)
            parts.append({"type": part.get_content_type(), "parent": parent})
        for sub in part.get_payload():
            walk(sub, index)
    elif parent is None:
        if part.get_content_maintype() == "text":
            return
        parts.append(leaf(part, -1))
    else:
        parts.append(leaf(part, parent))


walk(msg, None)
view = {"subject": str(msg.get("Subject", "")), "from": addresses("From"), "to": addresses("To"),
        "cc": addresses("Cc"), "bcc": msg.get("Bcc") is not None, "parts": parts, "defects": defects,
        "date": msg["Date"].datetime.timestamp() if msg.get("Date") and msg["Date"].datetime else None}
if not msg.is_multipart() and msg.get_content_maintype() == "text":
    view["body"] = msg.get_content()
print(json.dumps(view))
