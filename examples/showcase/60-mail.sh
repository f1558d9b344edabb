# E-mail: a newsletter built from examples/data/mail/ (text, HTML, the logo
# inline, a PDF attached), shown part by part, then handed to an SMTP sink
# on this machine (never the network) to see what arrives.
if has mail; then
  step "A newsletter: text and HTML bodies, the logo (an umlaut in its name) inline, a PDF attached"
  "$ZORCC" mail build --from "Werkstatt <news@example.org>" --to "Leser <leser@example.org>" \
    --bcc archiv@example.org --subject "Neuigkeiten im Dezember" \
    --text examples/data/mail/newsletter.txt --html examples/data/mail/newsletter.html \
    --inline "examples/data/mail/Lögo.png" --attach examples/data/mail/programm.pdf=Programm.pdf \
    --suppress OOF,AutoReply -o out/newsletter.eml

  step "What out/newsletter.eml holds: the part tree (the HTML refers to the logo by its content ID), the text, the auto-reply headers"
  "$ZORCC" mail show out/newsletter.eml

  if /usr/bin/python3 -c 'import aiosmtpd' 2>/dev/null; then
    step "Sent to an SMTP sink on 127.0.0.1; Bcc travels in the envelope only"
    /usr/bin/python3 examples/data/mail/smtp_sink.py > out/smtp-sink.log 2>/dev/null &
    sink=$!
    for _ in $(seq 50); do [[ -s out/smtp-sink.log ]] && break; sleep 0.1; done
    port=$(head -n 1 out/smtp-sink.log)
    "$ZORCC" mail send out/newsletter.eml "smtp://127.0.0.1:$port"
    for _ in $(seq 50); do [[ $(wc -l < out/smtp-sink.log) -ge 2 ]] && break; sleep 0.1; done
    kill "$sink"
    /usr/bin/python3 - out/smtp-sink.log out/newsletter.eml <<'PY'
import base64, json, sys
arrived = json.loads(open(sys.argv[1]).read().splitlines()[1])
data = base64.b64decode(arrived["data"])
print("envelope from:", arrived["from"])
print("envelope to:  ", ", ".join(arrived["rcpt"]))
print("bytes:", len(data), "- identical to out/newsletter.eml:", data == open(sys.argv[2], "rb").read())
PY
  fi

  GALLERY="$PWD/build/$preset/examples/gallery/gallery"
  if [[ -x "$GALLERY" ]]; then
    step "The gallery's E-mail page, headless: the part tree, and the logo in the HTML taken from the message by its content ID"
    "$GALLERY" --headless --mail out/mail.png
  fi
fi
