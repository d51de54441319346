<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="it_IT">
<context>
    <name>AppStream</name>
    <message>
        <source>A head on your desktop whose eyes follow your cursor</source>
        <translation>Una testa sul desktop i cui occhi seguono il cursore</translation>
    </message>
</context>
<context>
    <name>DesktopEntry</name>
    <message>
        <source>Oglon</source>
        <translation>Oglon</translation>
    </message>
    <message>
        <source>Desktop Toy</source>
        <translation>Giocattolo per il desktop</translation>
    </message>
    <message>
        <source>It comes up on your desktop and its eyes follow your cursor as you move it around the desktop.</source>
        <translation>Compare sul desktop e i suoi occhi seguono il cursore mentre lo muovi sul desktop.</translation>
    </message>
</context>
<context>
    <name>Form1</name>
    <message>
        <source>Oglon</source>
        <translation>Oglon</translation>
    </message>
    <message>
        <source>The eyes look in the direction of the mouse pointer</source>
        <translation>Gli occhi guardano nella direzione del puntatore del mouse</translation>
    </message>
    <message>
        <source>Oglon menu</source>
        <translation>Menu di Oglon</translation>
    </message>
    <message>
        <source>Always On &amp;Top</source>
        <translation>Sempre in &amp;primo piano</translation>
    </message>
    <message>
        <source>&amp;About Oglon</source>
        <translation>&amp;Informazioni su Oglon</translation>
    </message>
    <message>
        <source>&amp;Exit</source>
        <translation>&amp;Esci</translation>
    </message>
</context>
<context>
    <name>Form2</name>
    <message>
        <source>About Oglon</source>
        <translation>Informazioni su Oglon</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>By %1</source>
        <extracomment>The credit line of the About box; %1 is the author&apos;s name.</extracomment>
        <translation>Di %1</translation>
    </message>
    <message>
        <source>The program&apos;s name, its author and links to write to the author and to visit the author&apos;s web site</source>
        <translation>Il nome del programma, il suo autore e i collegamenti per scrivere all&apos;autore e visitare il suo sito web</translation>
    </message>
    <message>
        <source>Writes to the author in your mail program</source>
        <translation>Scrive all&apos;autore nel programma di posta</translation>
    </message>
    <message>
        <source>Opens the author&apos;s web site in your browser</source>
        <translation>Apre il sito web dell&apos;autore nel browser</translation>
    </message>
    <message>
        <source>No program could open %1. It has been copied to the clipboard.</source>
        <translation>Nessun programma ha potuto aprire %1. È stato copiato negli appunti.</translation>
    </message>
</context>
<context>
    <name>GnomePointer</name>
    <message>
        <source>Oglon&apos;s eyes can follow the pointer everywhere</source>
        <translation>Gli occhi di Oglon possono seguire il puntatore ovunque</translation>
    </message>
    <message>
        <source>Under GNOME on Wayland they see it over every window only through Oglon&apos;s GNOME Shell extension. Enable it? It may take one log-out to start.</source>
        <translation>In GNOME con Wayland lo vedono sopra ogni finestra solo con l&apos;estensione di GNOME Shell di Oglon. Attivarla? Potrebbe partire solo dopo aver chiuso la sessione una volta.</translation>
    </message>
    <message>
        <source>Enable the extension</source>
        <translation>Attiva l&apos;estensione</translation>
    </message>
</context>
</TS>
