<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>AppStream</name>
    <message>
        <source>A head on your desktop whose eyes follow your cursor</source>
        <translation>Ein Kopf auf Ihrem Schreibtisch, dessen Augen Ihrem Mauszeiger folgen</translation>
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
        <translation>Schreibtisch-Spielzeug</translation>
    </message>
    <message>
        <source>It comes up on your desktop and its eyes follow your cursor as you move it around the desktop.</source>
        <translation>Er erscheint auf Ihrem Schreibtisch, und seine Augen folgen Ihrem Mauszeiger, während Sie ihn über den Schreibtisch bewegen.</translation>
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
        <translation>Die Augen schauen in die Richtung des Mauszeigers</translation>
    </message>
    <message>
        <source>Oglon menu</source>
        <translation>Oglon-Menü</translation>
    </message>
    <message>
        <source>Always On &amp;Top</source>
        <translation>Immer im &amp;Vordergrund</translation>
    </message>
    <message>
        <source>&amp;About Oglon</source>
        <translation>&amp;Über Oglon</translation>
    </message>
    <message>
        <source>&amp;Exit</source>
        <translation>&amp;Beenden</translation>
    </message>
</context>
<context>
    <name>Form2</name>
    <message>
        <source>About Oglon</source>
        <translation>Über Oglon</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>By %1</source>
        <extracomment>The credit line of the About box; %1 is the author&apos;s name.</extracomment>
        <translation>Von %1</translation>
    </message>
    <message>
        <source>The program&apos;s name, its author and links to write to the author and to visit the author&apos;s web site</source>
        <translation>Der Name des Programms, sein Autor und Links, um dem Autor zu schreiben und seine Website zu besuchen</translation>
    </message>
    <message>
        <source>Writes to the author in your mail program</source>
        <translation>Schreibt dem Autor in Ihrem E-Mail-Programm</translation>
    </message>
    <message>
        <source>Opens the author&apos;s web site in your browser</source>
        <translation>Öffnet die Website des Autors in Ihrem Browser</translation>
    </message>
    <message>
        <source>No program could open %1. It has been copied to the clipboard.</source>
        <translation>Kein Programm konnte %1 öffnen. Es wurde in die Zwischenablage kopiert.</translation>
    </message>
</context>
<context>
    <name>GnomePointer</name>
    <message>
        <source>Oglon&apos;s eyes can follow the pointer everywhere</source>
        <translation>Oglons Augen können dem Zeiger überallhin folgen</translation>
    </message>
    <message>
        <source>Under GNOME on Wayland they see it over every window only through Oglon&apos;s GNOME Shell extension. Enable it? It may take one log-out to start.</source>
        <translation>Unter GNOME mit Wayland sehen sie ihn über jedem Fenster nur mit Oglons GNOME-Shell-Erweiterung. Erweiterung einschalten? Sie startet womöglich erst nach einmaligem Ab- und Anmelden.</translation>
    </message>
    <message>
        <source>Enable the extension</source>
        <translation>Erweiterung einschalten</translation>
    </message>
</context>
</TS>
