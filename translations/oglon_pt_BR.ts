<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="pt_BR">
<context>
    <name>AppStream</name>
    <message>
        <source>A head on your desktop whose eyes follow your cursor</source>
        <translation>Uma cabeça na sua área de trabalho cujos olhos seguem o cursor</translation>
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
        <translation>Brinquedo de área de trabalho</translation>
    </message>
    <message>
        <source>It comes up on your desktop and its eyes follow your cursor as you move it around the desktop.</source>
        <translation>Ela aparece na sua área de trabalho e seus olhos seguem o cursor enquanto você o move pela área de trabalho.</translation>
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
        <translation>Os olhos olham na direção do ponteiro do mouse</translation>
    </message>
    <message>
        <source>Oglon menu</source>
        <translation>Menu do Oglon</translation>
    </message>
    <message>
        <source>Always On &amp;Top</source>
        <translation>Sempre no &amp;topo</translation>
    </message>
    <message>
        <source>&amp;About Oglon</source>
        <translation>&amp;Sobre o Oglon</translation>
    </message>
    <message>
        <source>&amp;Exit</source>
        <translation>Sai&amp;r</translation>
    </message>
</context>
<context>
    <name>Form2</name>
    <message>
        <source>About Oglon</source>
        <translation>Sobre o Oglon</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>By %1</source>
        <extracomment>The credit line of the About box; %1 is the author&apos;s name.</extracomment>
        <translation>Por %1</translation>
    </message>
    <message>
        <source>The program&apos;s name, its author and links to write to the author and to visit the author&apos;s web site</source>
        <translation>O nome do programa, seu autor e links para escrever ao autor e visitar o site dele</translation>
    </message>
    <message>
        <source>Writes to the author in your mail program</source>
        <translation>Escreve ao autor no seu programa de e-mail</translation>
    </message>
    <message>
        <source>Opens the author&apos;s web site in your browser</source>
        <translation>Abre o site do autor no seu navegador</translation>
    </message>
    <message>
        <source>No program could open %1. It has been copied to the clipboard.</source>
        <translation>Nenhum programa conseguiu abrir %1. Ele foi copiado para a área de transferência.</translation>
    </message>
</context>
<context>
    <name>GnomePointer</name>
    <message>
        <source>Oglon&apos;s eyes can follow the pointer everywhere</source>
        <translation>Os olhos do Oglon podem seguir o ponteiro em qualquer lugar</translation>
    </message>
    <message>
        <source>Under GNOME on Wayland they see it over every window only through Oglon&apos;s GNOME Shell extension. Enable it? It may take one log-out to start.</source>
        <translation>No GNOME com Wayland, eles só o veem sobre qualquer janela com a extensão do GNOME Shell do Oglon. Ativá-la? Pode ser preciso encerrar a sessão uma vez para ela iniciar.</translation>
    </message>
    <message>
        <source>Enable the extension</source>
        <translation>Ativar a extensão</translation>
    </message>
</context>
</TS>
