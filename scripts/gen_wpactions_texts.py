#!/usr/bin/python3
"""Writes what the rich-text action module derives from its action table
(src/richtext/actions/ActionTable.cpp), so that the table stays the one
place that names the actions and their captions:

- src/richtext/actions/lang/WPTOOLS_*_XML.xml: the engine's strings in German,
  English, French and Italian (the French and Italian captions are kept here),
- src/richtext/actions/lang/lang.qrc,
- forms/texts/dmQEWPActions.tsv: the module's own captions for its language
  component, and the identifiers the editor frame reads,
- src/richtext/actions/icons/: the Breeze icons the table names (from the
  breeze-icon-theme package), and icons.qrc.
Run it after editing the table."""
import html
import os
import re
import shutil

base = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..') + '/'
s = open(base + 'src/richtext/actions/ActionTable.cpp', encoding='utf-8').read()
engine = []
module = []
icons = []
for line in s.splitlines():
    line = line.strip()
    m = re.match(r'E\("([^"]+)", "([^"]+)", "([^"]*)", "([^"]*)", "([^"]*)"(?:, "([^"]+)")?', line)
    if m:
        engine.append((m.group(1), m.group(4), m.group(5)))
        icons.append(m.group(6))
        continue
    m = re.match(r'C\("([^"]+)", "([^"]*)", "([^"]*)", "([^"]*)"(?:, "([^"]+)")?', line)
    if m:
        engine.append((m.group(1), m.group(3), m.group(4)))
        icons.append(m.group(5))
        continue
    m = re.match(r'(?:X|N)\("([^"]+)", "([^"]*)", "([^"]*)", "([^"]*)"(?:, "([^"]+)")?', line)
    if m:
        module.append((m.group(1), m.group(3), m.group(4)))
        icons.append(m.group(5))

breeze = '/usr/share/icons/breeze/actions/16/'
names = sorted(set(i for i in icons if i))
for n in names:
    shutil.copyfile(os.path.realpath(breeze + n + '.svg'), base + 'src/richtext/actions/icons/' + n + '.svg')
with open(base + 'src/richtext/actions/icons/icons.qrc', 'w') as f:
    f.write('<RCC>\n  <qresource prefix="/zor/wpicons">\n')
    for n in names:
        f.write('    <file>%s.svg</file>\n' % n)
    f.write('  </qresource>\n</RCC>\n')
# French and Italian captions of the engine's actions, by their English caption.
FR={'Bottom Border':'Bordure inférieure','Delete Row':'Supprimer la ligne','Inner Borders':'Bordures intérieures','Outer Border':'Bordure extérieure','No Borders':'Aucune bordure','Create Table':'Créer un tableau','Combine Cells':'Fusionner les cellules','Split Cells':'Fractionner les cellules','Insert Row':'Insérer une ligne','Select Column':'Sélectionner la colonne','Select Row':'Sélectionner la ligne','Insert Column':'Insérer une colonne','Delete Column':'Supprimer la colonne','Left Border':'Bordure gauche','Top Border':'Bordure supérieure','Right Border':'Bordure droite','Insert Field':'Insérer un champ','Edit Hyperlink':'Modifier le lien hypertexte','Number of Next Page':'Numéro de la page suivante','Page Number':'Numéro de page','Number of Previous Page':'Numéro de la page précédente','Page Count':'Nombre de pages','Date':'Date','Zoom Out':'Zoom arrière','Zoom In':'Zoom avant','Fit Height':'Page entière','Fit Width':'Largeur de page','Print':'Imprimer','Printer Setup':'Configuration de l\'imprimante','Previous Page':'Page précédente','Next Page':'Page suivante','Left':'Gauche','Center':'Centré','Right':'Droite','Justified':'Justifié','Bullets':'Puces','Numbering':'Numérotation','Decrease Indent':'Diminuer le retrait','Increase Indent':'Augmenter le retrait','Open':'Ouvrir','Save':'Enregistrer','Exit':'Quitter','Close':'Fermer','New':'Nouveau','Undo':'Annuler','Copy':'Copier','Cut':'Couper','Paste':'Coller','Search':'Rechercher','Replace':'Remplacer','Select All':'Tout sélectionner','Hide Selection':'Masquer la sélection','Spell Check':'Vérifier l\'orthographe','Redo':'Rétablir','Delete Text':'Supprimer le texte','Spell As You Go':'Vérification pendant la saisie','Thesaurus':'Dictionnaire des synonymes','Cancel':'Annuler','Delete':'Supprimer','Add':'Ajouter','Edit':'Modifier','Next':'Suivant','Back':'Précédent','OK':'OK','To End':'À la fin','To Start':'Au début','Normal':'Normal','Bold':'Gras','Italic':'Italique','Protected':'Protégé','Hidden':'Masqué','RTF Code':'Code RTF','Underline':'Souligné','Strikeout':'Barré','Subscript':'Indice','Superscript':'Exposant','Outline Mode':'Mode plan','Outline Up':'Niveau supérieur','Outline Down':'Niveau inférieur','Font Color':'Couleur de police','Font':'Police','Bk-Color':'Couleur de fond','Font Size':'Taille de police','Par-Color':'Couleur de paragraphe','Alignment':'Alignement','Style':'Style'}
IT={'Bottom Border':'Bordo inferiore','Delete Row':'Elimina riga','Inner Borders':'Bordi interni','Outer Border':'Bordo esterno','No Borders':'Nessun bordo','Create Table':'Crea tabella','Combine Cells':'Unisci celle','Split Cells':'Dividi celle','Insert Row':'Inserisci riga','Select Column':'Seleziona colonna','Select Row':'Seleziona riga','Insert Column':'Inserisci colonna','Delete Column':'Elimina colonna','Left Border':'Bordo sinistro','Top Border':'Bordo superiore','Right Border':'Bordo destro','Insert Field':'Inserisci campo','Edit Hyperlink':'Modifica collegamento','Number of Next Page':'Numero della pagina successiva','Page Number':'Numero di pagina','Number of Previous Page':'Numero della pagina precedente','Page Count':'Numero di pagine','Date':'Data','Zoom Out':'Riduci','Zoom In':'Ingrandisci','Fit Height':'Pagina intera','Fit Width':'Larghezza pagina','Print':'Stampa','Printer Setup':'Imposta stampante','Previous Page':'Pagina precedente','Next Page':'Pagina successiva','Left':'Sinistra','Center':'Centrato','Right':'Destra','Justified':'Giustificato','Bullets':'Elenco puntato','Numbering':'Numerazione','Decrease Indent':'Riduci rientro','Increase Indent':'Aumenta rientro','Open':'Apri','Save':'Salva','Exit':'Esci','Close':'Chiudi','New':'Nuovo','Undo':'Annulla','Copy':'Copia','Cut':'Taglia','Paste':'Incolla','Search':'Cerca','Replace':'Sostituisci','Select All':'Seleziona tutto','Hide Selection':'Nascondi selezione','Spell Check':'Controllo ortografico','Redo':'Ripeti','Delete Text':'Elimina testo','Spell As You Go':'Controllo durante la digitazione','Thesaurus':'Dizionario dei sinonimi','Cancel':'Annulla','Delete':'Elimina','Add':'Aggiungi','Edit':'Modifica','Next':'Successivo','Back':'Precedente','OK':'OK','To End':'Alla fine','To Start':"All'inizio",'Normal':'Normale','Bold':'Grassetto','Italic':'Corsivo','Protected':'Protetto','Hidden':'Nascosto','RTF Code':'Codice RTF','Underline':'Sottolineato','Strikeout':'Barrato','Subscript':'Pedice','Superscript':'Apice','Outline Mode':'Modalità struttura','Outline Up':'Livello superiore','Outline Down':'Livello inferiore','Font Color':'Colore carattere','Font':'Carattere','Bk-Color':'Colore sfondo','Font Size':'Dimensione carattere','Par-Color':'Colore paragrafo','Alignment':'Allineamento','Style':'Stile'}
# The engine's numbered strings (EN, DE, FR, IT): 98-105 the input queries'
# captions and prompts, 111-113 the combo boxes' texts and the thesaurus caption.
STR={98:('Insert Field','Feld einfügen','Insérer un champ','Inserisci campo'),
99:('Name of the field:','Name des Feldes:','Nom du champ :','Nome del campo:'),
100:('Insert Mailmerge Field','Seriendruckfeld einfügen','Insérer un champ de fusion','Inserisci campo di stampa unione'),
101:('Name of the mail-merge field:','Name des Seriendruckfeldes:','Nom du champ de fusion :','Nome del campo di stampa unione:'),
102:('Insert Bookmark','Lesezeichen einfügen','Insérer un signet','Inserisci segnalibro'),
103:('Name of the bookmark:','Name des Lesezeichens:','Nom du signet :','Nome del segnalibro:'),
104:('Insert Form Field','Formularfeld einfügen','Insérer un champ de formulaire','Inserisci campo modulo'),
105:('Name of the form field:','Name des Formularfeldes:','Nom du champ de formulaire :','Nome del campo modulo:'),
111:('(Automatic)','(Automatisch)','(Automatique)','(Automatico)'),
112:('Left,Center,Right,Justified','Links,Zentriert,Rechts,Blocksatz','Gauche,Centré,Droite,Justifié','Sinistra,Centrato,Destra,Giustificato'),
113:('Thesaurus','Thesaurus','Dictionnaire des synonymes','Dizionario dei sinonimi')}
LI={'EN':0,'DE':1,'FR':2,'IT':3}
def q(x): return html.escape(x, quote=True)
# The dialogs' texts: every caption of forms/WP*.ui, translated by its
# English text through lang/dialogs.tsv (a text the table lacks keeps its
# design caption, a sample text such as the font preview's is left alone).
import glob, xml.etree.ElementTree as ET
DLG={}
with open(base+'src/richtext/actions/lang/dialogs.tsv', encoding='utf-8') as f:
    next(f)
    for line in f:
        cols=line.rstrip('\n').split('\t')
        if len(cols)==4: DLG[cols[0]]=cols
LISTS={'WPReportBandsDialog':[('cbxKind','Header,Data,Footer,Group header,Group footer')]}
FORMS=[]
for ui in sorted(glob.glob(base+'forms/WP*.ui')):
    top=ET.parse(ui).getroot().find('widget')
    items=[]
    for w in top.iter('widget'):
        for prop in w.findall('property'):
            st=prop.find('string')
            if prop.get('name') in ('text','title','windowTitle') and st is not None and st.text in DLG:
                items.append((w.get('name'), st.text))
    # Combo boxes filled in code: their entries as one comma-separated text.
    items += [(w, en) for (w, en) in LISTS.get(top.get('name'), []) if en in DLG]
    FORMS.append((top.get('name'), items))
def forms(f, code):
    for form,items in FORMS:
        f.write('  <form name="%s">\n'%form)
        for (w,en) in items:
            f.write('    <text name="%s">%s</text>\n'%(w,html.escape(DLG[en][LI[code]],quote=False)))
        f.write('  </form>\n')
def write(name, code, actions, ids):
    with open(base+'src/richtext/actions/lang/'+name+'.xml','w', encoding='utf-8') as f:
        f.write('<?xml version="1.0" encoding="UTF-8"?>\n')
        f.write('<!-- The rich-text engine\'s texts, %s. -->\n' % {'EN':'English','DE':'German','FR':'French','IT':'Italian'}[code])
        f.write('<wptools language="%s">\n'%code)
        for (n,de,en) in actions:
            t={'EN':en,'DE':de,'FR':FR.get(en),'IT':IT.get(en)}[code]
            assert t, (code,en)
            f.write('  <action name="%s" caption="%s" hint="%s"/>\n'%(n,q(t),q(t)))
        for i in ids:
            f.write('  <string id="%d">%s</string>\n'%(i,html.escape(STR[i][LI[code]],quote=False)))
        if actions:
            forms(f, code)
        f.write('</wptools>\n')
base_ids=[98,99,100,101,102,103,104,105]; added=[111,112,113]
write('WPTOOLS_EN_XML','EN',engine,base_ids); write('WPTOOLS_EN_ADDED_XML','EN',[],added)
write('WPTOOLS_DE_XML','DE',engine,base_ids); write('WPTOOLS_DE_ADDED_XML','DE',[],added)
write('WPTOOLS_FR_XML','FR',engine,base_ids+added)
write('WPTOOLS_IT_XML','IT',engine,base_ids); write('WPTOOLS_IT_ADDED_XML','IT',[],added)
with open(base+'src/richtext/actions/lang/lang.qrc','w') as f:
    f.write('<RCC>\n  <qresource prefix="/zor/wptools">\n')
    for n in ['WPTOOLS_DE_XML','WPTOOLS_DE_ADDED_XML','WPTOOLS_EN_XML','WPTOOLS_EN_ADDED_XML','WPTOOLS_FR_XML','WPTOOLS_IT_XML','WPTOOLS_IT_ADDED_XML']:
        f.write('    <file alias="%s">%s.xml</file>\n'%(n,n))
    f.write('  </qresource>\n</RCC>\n')
# siLang texts
translated={'WPADeleteText1':('Delete Text','Text löschen'),'WPAFontSize':('Font Size','Schriftgröße'),'WPAHTMLFontSize':('Font Size','Schriftgröße'),
 'WPAPrinterFonts':('Font','Schriftart'),'WPAScreenFonts':('Font','Schriftart'),'WPATrueTypeFonts':('Font','Schriftart'),
 'WPABkColor':('Bk-Color','Hintergrundfarbe'),'WPAParColor':('Par-Color','Absatzfarbe'),'WPAFontColor':('Font Color','Schriftfarbe')}
ids=[('IDS_Delete','Delete','Löschen'),('IDS_SelectAll','Select','Markieren'),('IDS_Insert','Insert','Einfügen'),('IDS_Format','Format','Format'),
('IDS_Fields','Fields','Felder'),('IDS_Columns','Columns','Spalten'),('IDS_Numbers','Numbers','Nummern'),('IDS_GraphicOptions','Graphic Options','Grafikoptionen'),
('IDS_Capitalisation','Capitalisation','Groß-/Kleinschreibung'),('IDS_FontSizeUp','Increase Font Size','Schrift vergrößern'),('IDS_FontSizeDown','Decrease Font Size','Schrift verkleinern'),
('IDS_FontColor','Font Color','Schriftfarbe'),('IDS_FontBkColor','Font Background Color','Schrifthintergrundfarbe'),('IDS_ParColor','Paragraph Color','Absatzfarbe'),
('IDS_AutoColorText','(Automatic)','(Automatisch)'),('IDS_File','File','Datei'),('IDS_Edit','Edit','Bearbeiten'),('IDS_View','View','Ansicht'),
('IDS_Extras','Extras','Extras'),('IDS_Reporting','Reporting','Berichte'),('IDS_Table','Table','Tabelle'),('IDS_CompactMode','Compact mode','Kompaktmodus')]
with open(base+'forms/texts/dmQEWPActions.tsv','w', encoding='utf-8') as f:
    f.write('ID\tType\tEnglish\tGerman\tFrancais\tItalian\n')
    for n,(en,de) in translated.items():
        f.write('%s.text\tstCaptions\t%s\t%s\t\t\n'%(n,en,de))
    for (n,de,en) in module:
        if n in ('XA_Col_2','XA_Col_3','XA_Col_4'): continue
        f.write('%s.text\tstCaptions\t%s\t%s\t\t\n'%(n,en,de))
    for (i,en,de) in ids:
        f.write('%s\tstStrings\t%s\t%s\t\t\n'%(i,en,de))
