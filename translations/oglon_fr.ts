<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr_FR">
<context>
    <name>AppStream</name>
    <message>
        <source>A head on your desktop whose eyes follow your cursor</source>
        <translation>Une tête sur votre bureau dont les yeux suivent votre curseur</translation>
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
        <translation>Jouet de bureau</translation>
    </message>
    <message>
        <source>It comes up on your desktop and its eyes follow your cursor as you move it around the desktop.</source>
        <translation>Elle apparaît sur votre bureau et ses yeux suivent votre curseur quand vous le déplacez sur le bureau.</translation>
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
        <translation>Les yeux regardent dans la direction du pointeur de la souris</translation>
    </message>
    <message>
        <source>Oglon menu</source>
        <translation>Menu d&apos;Oglon</translation>
    </message>
    <message>
        <source>Always On &amp;Top</source>
        <translation>&amp;Toujours au premier plan</translation>
    </message>
    <message>
        <source>&amp;About Oglon</source>
        <translation>À &amp;propos d&apos;Oglon</translation>
    </message>
    <message>
        <source>&amp;Exit</source>
        <translation>&amp;Quitter</translation>
    </message>
</context>
<context>
    <name>Form2</name>
    <message>
        <source>About Oglon</source>
        <translation>À propos d&apos;Oglon</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>By %1</source>
        <extracomment>The credit line of the About box; %1 is the author&apos;s name.</extracomment>
        <translation>Par %1</translation>
    </message>
    <message>
        <source>The program&apos;s name, its author and links to write to the author and to visit the author&apos;s web site</source>
        <translation>Le nom du programme, son auteur et des liens pour écrire à l&apos;auteur et visiter son site web</translation>
    </message>
    <message>
        <source>Writes to the author in your mail program</source>
        <translation>Écrit à l&apos;auteur dans votre logiciel de messagerie</translation>
    </message>
    <message>
        <source>Opens the author&apos;s web site in your browser</source>
        <translation>Ouvre le site web de l&apos;auteur dans votre navigateur</translation>
    </message>
    <message>
        <source>No program could open %1. It has been copied to the clipboard.</source>
        <translation>Aucun programme n&apos;a pu ouvrir %1. Il a été copié dans le presse-papiers.</translation>
    </message>
</context>
<context>
    <name>GnomePointer</name>
    <message>
        <source>Oglon&apos;s eyes can follow the pointer everywhere</source>
        <translation>Les yeux d&apos;Oglon peuvent suivre le pointeur partout</translation>
    </message>
    <message>
        <source>Under GNOME on Wayland they see it over every window only through Oglon&apos;s GNOME Shell extension. Enable it? It may take one log-out to start.</source>
        <translation>Sous GNOME avec Wayland, ils ne le voient au-dessus de toutes les fenêtres qu&apos;avec l&apos;extension GNOME Shell d&apos;Oglon. L&apos;activer ? Elle peut ne démarrer qu&apos;après une déconnexion.</translation>
    </message>
    <message>
        <source>Enable the extension</source>
        <translation>Activer l&apos;extension</translation>
    </message>
</context>
</TS>
