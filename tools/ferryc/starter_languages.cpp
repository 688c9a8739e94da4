#include "starter_languages.h"

#include <array>

#include "base/byte_writer.h"
#include "base/text.h"

namespace ferry::tool {

namespace {

// Texts 1-11, 30-36 and 38-40 are the starter's pages, 21 and 22 its
// "message" lines; the others the setup shows by number
// (formats/languages/text_ids.h).
// A new text is one more line in each table.

constexpr std::string_view kEnglish = R"txt(English
0409;0809;0c09;1009;1409;1809;1c09;2009;2409;2809;2c09;3009;3409;4009;4409;4809;
1 Welcome to <%SETUPTITLE%>
2 <%SETUPSHORTTITLE%> setup
3 This wizard installs <%SETUPSHORTTITLE%> on your computer.<BR><BR>Click Next to continue.
4 What is new
5 <%SETUPSHORTTITLE%> will be installed in the folder below. To use another folder, type its path or choose it in the list.
6 The wizard is ready to install <%SETUPSHORTTITLE%>. Click Install to begin.
7 Space available <%SPACEAVA%>
8 Space required <%SPACEREQ%>
9 Installing <%SETUPSHORTTITLE%>, please wait...
10 Installation complete
11 <%SETUPSHORTTITLE%> is installed. Click Finish to close the wizard.
12 < Back
13 Next >
14 Cancel
15 Install
16 Finish
17 Copying File <%FILENAME%>
18 Extracting <%FILENAME%>
19 Processing <%RKPNAME%>: <%FNUM%> of <%FTOTAL%> files
20 Writing <%RKPNAME%>`s Header
21 Preparing the installation...
22 Registering the product...
23 Setup failed to install the product.
24 Registry entries
25 Folders
26 Uninstall
27 Are you sure you want to quit the setup?
28 Quit
29 Loading <%RKPNAME%>
30 Ready to install
31 Remove <%SETUPSHORTTITLE%>
32 This wizard removes <%SETUPSHORTTITLE%>: its files and its registry entries.<BR><BR>Click Next to continue.
33 Removing <%SETUPSHORTTITLE%>...
34 <%SETUPSHORTTITLE%> has been removed.
35 Installation folder
36 Click Finish to close the wizard.
37 Setup finished, but some steps were not done.
38 Files in use
39 Programs that are running use files the setup must change:
40 Close these programs, then choose Retry. Cancel ends the setup without changing anything.
41 Close these programs, then choose Try Again. Continue replaces the files when the computer restarts next. Cancel ends the setup without changing anything.
42 Setup finished. Restart the computer to complete it.
43 Who should <%SETUPSHORTTITLE%> be installed for?
44 Only for me (no administrator rights needed)
45 For everyone on this computer (administrator rights needed)
46 Installing for everyone on this computer needs administrator rights, and the setup did not get them. Nothing was changed.
47 Install <%SETUPSHORTTITLE%> for everyone on this computer?<BR><BR>Yes: for everyone (administrator rights are asked for).<BR>No: only for you, without administrator rights.
48 Removing a program installed for everyone on this computer needs administrator rights, and the uninstaller did not get them. Nothing was removed.
)txt";

constexpr std::string_view kGerman = R"txt(Deutsch
0407;0807;0c07;1007;1407;
1 Willkommen bei <%SETUPTITLE%>
2 <%SETUPSHORTTITLE%> - Installation
3 Dieser Assistent installiert <%SETUPSHORTTITLE%> auf Ihrem Computer.<BR><BR>Klicken Sie auf Weiter, um fortzufahren.
4 Neuigkeiten
5 <%SETUPSHORTTITLE%> wird im folgenden Ordner installiert. Um einen anderen Ordner zu verwenden, geben Sie seinen Pfad ein oder wählen Sie ihn in der Liste.
6 Der Assistent ist bereit, <%SETUPSHORTTITLE%> zu installieren. Klicken Sie auf Installieren, um zu beginnen.
7 Verfügbarer Speicher <%SPACEAVA%>
8 Benötigter Speicher <%SPACEREQ%>
9 <%SETUPSHORTTITLE%> wird installiert, bitte warten...
10 Installation abgeschlossen
11 <%SETUPSHORTTITLE%> ist installiert. Klicken Sie auf Fertigstellen, um den Assistenten zu schließen.
12 < Zurück
13 Weiter >
14 Abbrechen
15 Installieren
16 Fertigstellen
17 Datei <%FILENAME%> wird kopiert
18 <%FILENAME%> wird entpackt
19 <%RKPNAME%> wird bearbeitet: <%FNUM%> von <%FTOTAL%> Dateien
20 Kopf von <%RKPNAME%> wird geschrieben
21 Installation wird vorbereitet...
22 Produkt wird registriert...
23 Das Produkt konnte nicht installiert werden.
24 Registrierungseinträge
25 Ordner
26 Deinstallation
27 Möchten Sie das Setup wirklich beenden?
28 Beenden
29 <%RKPNAME%> wird geladen
30 Bereit zur Installation
31 <%SETUPSHORTTITLE%> entfernen
32 Dieser Assistent entfernt <%SETUPSHORTTITLE%>: seine Dateien und seine Registrierungseinträge.<BR><BR>Klicken Sie auf Weiter, um fortzufahren.
33 <%SETUPSHORTTITLE%> wird entfernt...
34 <%SETUPSHORTTITLE%> wurde entfernt.
35 Installationsordner
36 Klicken Sie auf Fertigstellen, um den Assistenten zu schließen.
37 Die Installation ist beendet, aber einige Schritte wurden nicht ausgeführt.
38 Dateien in Verwendung
39 Laufende Programme verwenden Dateien, die das Setup ändern muss:
40 Schließen Sie diese Programme und wählen Sie dann Wiederholen. Abbrechen beendet das Setup, ohne etwas zu ändern.
41 Schließen Sie diese Programme und wählen Sie dann Wiederholen. Weiter ersetzt die Dateien beim nächsten Neustart des Computers. Abbrechen beendet das Setup, ohne etwas zu ändern.
42 Das Setup ist fertig. Starten Sie den Computer neu, um es abzuschließen.
43 Für wen soll <%SETUPSHORTTITLE%> installiert werden?
44 Nur für mich (keine Administratorrechte nötig)
45 Für alle Benutzer dieses Computers (Administratorrechte nötig)
46 Die Installation für alle Benutzer dieses Computers braucht Administratorrechte, und die Installation hat sie nicht erhalten. Es wurde nichts geändert.
47 <%SETUPSHORTTITLE%> für alle Benutzer dieses Computers installieren?<BR><BR>Ja: für alle (Administratorrechte werden angefordert).<BR>Nein: nur für Sie, ohne Administratorrechte.
48 Das Entfernen eines für alle Benutzer dieses Computers installierten Programms braucht Administratorrechte, und die Deinstallation hat sie nicht erhalten. Es wurde nichts entfernt.
)txt";

constexpr std::string_view kFrench = R"txt(Français
040c;080c;0c0c;100c;140c;180c;
1 Bienvenue dans l'installation de <%SETUPTITLE%>
2 Installation de <%SETUPSHORTTITLE%>
3 Cet assistant installe <%SETUPSHORTTITLE%> sur votre ordinateur.<BR><BR>Cliquez sur Suivant pour continuer.
4 Nouveautés
5 <%SETUPSHORTTITLE%> sera installé dans le dossier ci-dessous. Pour utiliser un autre dossier, tapez son chemin ou choisissez-le dans la liste.
6 L'assistant est prêt à installer <%SETUPSHORTTITLE%>. Cliquez sur Installer pour commencer.
7 Espace disponible <%SPACEAVA%>
8 Espace nécessaire <%SPACEREQ%>
9 Installation de <%SETUPSHORTTITLE%> en cours, veuillez patienter...
10 Installation terminée
11 <%SETUPSHORTTITLE%> est installé. Cliquez sur Terminer pour fermer l'assistant.
12 < Précédent
13 Suivant >
14 Annuler
15 Installer
16 Terminer
17 Copie du fichier <%FILENAME%>
18 Extraction de <%FILENAME%>
19 Traitement de <%RKPNAME%> : <%FNUM%> fichiers sur <%FTOTAL%>
20 Écriture de l'en-tête de <%RKPNAME%>
21 Préparation de l'installation...
22 Enregistrement du produit...
23 L'installation du produit a échoué.
24 Entrées du registre
25 Dossiers
26 Désinstallation
27 Voulez-vous vraiment quitter l'installation ?
28 Quitter
29 Chargement de <%RKPNAME%>
30 Prêt à installer
31 Supprimer <%SETUPSHORTTITLE%>
32 Cet assistant supprime <%SETUPSHORTTITLE%> : ses fichiers et ses entrées du registre.<BR><BR>Cliquez sur Suivant pour continuer.
33 Suppression de <%SETUPSHORTTITLE%>...
34 <%SETUPSHORTTITLE%> a été supprimé.
35 Dossier d'installation
36 Cliquez sur Terminer pour fermer l'assistant.
37 L'installation est terminée, mais certaines étapes n'ont pas été effectuées.
38 Fichiers en cours d'utilisation
39 Des programmes en cours d'exécution utilisent des fichiers que l'installation doit modifier :
40 Fermez ces programmes, puis choisissez Réessayer. Annuler met fin à l'installation sans rien modifier.
41 Fermez ces programmes, puis choisissez Réessayer. Continuer remplace les fichiers au prochain redémarrage de l'ordinateur. Annuler met fin à l'installation sans rien modifier.
42 L'installation est terminée. Redémarrez l'ordinateur pour l'achever.
43 Pour qui installer <%SETUPSHORTTITLE%> ?
44 Pour moi uniquement (sans droits d'administrateur)
45 Pour tous les utilisateurs de cet ordinateur (droits d'administrateur requis)
46 L'installation pour tous les utilisateurs de cet ordinateur demande des droits d'administrateur, et le programme d'installation ne les a pas obtenus. Rien n'a été modifié.
47 Installer <%SETUPSHORTTITLE%> pour tous les utilisateurs de cet ordinateur ?<BR><BR>Oui : pour tous (des droits d'administrateur sont demandés).<BR>Non : pour vous seul, sans droits d'administrateur.
48 La suppression d'un programme installé pour tous les utilisateurs de cet ordinateur demande des droits d'administrateur, et le programme de désinstallation ne les a pas obtenus. Rien n'a été supprimé.
)txt";

constexpr std::string_view kSpanish = R"txt(Español
040a;080a;0c0a;100a;140a;180a;1c0a;200a;240a;280a;2c0a;300a;340a;380a;3c0a;400a;440a;480a;4c0a;500a;540a;
1 Bienvenido a la instalación de <%SETUPTITLE%>
2 Instalación de <%SETUPSHORTTITLE%>
3 Este asistente instala <%SETUPSHORTTITLE%> en su equipo.<BR><BR>Haga clic en Siguiente para continuar.
4 Novedades
5 <%SETUPSHORTTITLE%> se instalará en la carpeta siguiente. Para usar otra carpeta, escriba su ruta o elíjala en la lista.
6 El asistente está listo para instalar <%SETUPSHORTTITLE%>. Haga clic en Instalar para comenzar.
7 Espacio disponible <%SPACEAVA%>
8 Espacio necesario <%SPACEREQ%>
9 Instalando <%SETUPSHORTTITLE%>, espere por favor...
10 Instalación completada
11 <%SETUPSHORTTITLE%> está instalado. Haga clic en Finalizar para cerrar el asistente.
12 < Atrás
13 Siguiente >
14 Cancelar
15 Instalar
16 Finalizar
17 Copiando el archivo <%FILENAME%>
18 Extrayendo <%FILENAME%>
19 Procesando <%RKPNAME%>: <%FNUM%> de <%FTOTAL%> archivos
20 Escribiendo la cabecera de <%RKPNAME%>
21 Preparando la instalación...
22 Registrando el producto...
23 No se pudo instalar el producto.
24 Entradas del registro
25 Carpetas
26 Desinstalación
27 ¿Seguro que desea salir de la instalación?
28 Salir
29 Cargando <%RKPNAME%>
30 Listo para instalar
31 Quitar <%SETUPSHORTTITLE%>
32 Este asistente quita <%SETUPSHORTTITLE%>: sus archivos y sus entradas del registro.<BR><BR>Haga clic en Siguiente para continuar.
33 Quitando <%SETUPSHORTTITLE%>...
34 <%SETUPSHORTTITLE%> se ha quitado.
35 Carpeta de instalación
36 Haga clic en Finalizar para cerrar el asistente.
37 La instalación ha terminado, pero algunos pasos no se realizaron.
38 Archivos en uso
39 Hay programas en ejecución que usan archivos que la instalación debe cambiar:
40 Cierre estos programas y elija Reintentar. Cancelar termina la instalación sin cambiar nada.
41 Cierre estos programas y elija Reintentar. Continuar reemplaza los archivos la próxima vez que se reinicie el equipo. Cancelar termina la instalación sin cambiar nada.
42 La instalación ha terminado. Reinicie el equipo para completarla.
43 ¿Para quién desea instalar <%SETUPSHORTTITLE%>?
44 Solo para mí (no se necesitan derechos de administrador)
45 Para todos los usuarios de este equipo (se necesitan derechos de administrador)
46 La instalación para todos los usuarios de este equipo necesita derechos de administrador, y el programa de instalación no los obtuvo. No se cambió nada.
47 ¿Instalar <%SETUPSHORTTITLE%> para todos los usuarios de este equipo?<BR><BR>Sí: para todos (se piden derechos de administrador).<BR>No: solo para usted, sin derechos de administrador.
48 Quitar un programa instalado para todos los usuarios de este equipo necesita derechos de administrador, y el desinstalador no los obtuvo. No se quitó nada.
)txt";

constexpr std::string_view kItalian = R"txt(Italiano
0410;0810;
1 Benvenuti nell'installazione di <%SETUPTITLE%>
2 Installazione di <%SETUPSHORTTITLE%>
3 Questa procedura guidata installa <%SETUPSHORTTITLE%> nel computer.<BR><BR>Fare clic su Avanti per continuare.
4 Novità
5 <%SETUPSHORTTITLE%> verrà installato nella cartella seguente. Per usare un'altra cartella, digitarne il percorso o sceglierla nell'elenco.
6 La procedura guidata è pronta a installare <%SETUPSHORTTITLE%>. Fare clic su Installa per iniziare.
7 Spazio disponibile <%SPACEAVA%>
8 Spazio richiesto <%SPACEREQ%>
9 Installazione di <%SETUPSHORTTITLE%> in corso, attendere...
10 Installazione completata
11 <%SETUPSHORTTITLE%> è installato. Fare clic su Fine per chiudere la procedura guidata.
12 < Indietro
13 Avanti >
14 Annulla
15 Installa
16 Fine
17 Copia del file <%FILENAME%>
18 Estrazione di <%FILENAME%>
19 Elaborazione di <%RKPNAME%>: <%FNUM%> di <%FTOTAL%> file
20 Scrittura dell'intestazione di <%RKPNAME%>
21 Preparazione dell'installazione...
22 Registrazione del prodotto...
23 Impossibile installare il prodotto.
24 Voci del registro
25 Cartelle
26 Disinstallazione
27 Uscire davvero dall'installazione?
28 Esci
29 Caricamento di <%RKPNAME%>
30 Pronto per l'installazione
31 Rimuovi <%SETUPSHORTTITLE%>
32 Questa procedura guidata rimuove <%SETUPSHORTTITLE%>: i suoi file e le sue voci del registro.<BR><BR>Fare clic su Avanti per continuare.
33 Rimozione di <%SETUPSHORTTITLE%> in corso...
34 <%SETUPSHORTTITLE%> è stato rimosso.
35 Cartella di installazione
36 Fare clic su Fine per chiudere la procedura guidata.
37 L'installazione è terminata, ma alcuni passaggi non sono stati eseguiti.
38 File in uso
39 Alcuni programmi in esecuzione usano file che l'installazione deve modificare:
40 Chiudere questi programmi, quindi scegliere Riprova. Annulla termina l'installazione senza modificare nulla.
41 Chiudere questi programmi, quindi scegliere Riprova. Continua sostituisce i file al prossimo riavvio del computer. Annulla termina l'installazione senza modificare nulla.
42 Installazione terminata. Riavviare il computer per completarla.
43 Per chi installare <%SETUPSHORTTITLE%>?
44 Solo per me (non servono diritti di amministratore)
45 Per tutti gli utenti di questo computer (servono diritti di amministratore)
46 L'installazione per tutti gli utenti di questo computer richiede diritti di amministratore, e il programma di installazione non li ha ottenuti. Non è stato modificato nulla.
47 Installare <%SETUPSHORTTITLE%> per tutti gli utenti di questo computer?<BR><BR>Sì: per tutti (vengono chiesti i diritti di amministratore).<BR>No: solo per te, senza diritti di amministratore.
48 La rimozione di un programma installato per tutti gli utenti di questo computer richiede diritti di amministratore, e il programma di disinstallazione non li ha ottenuti. Non è stato rimosso nulla.
)txt";

constexpr std::string_view kPortugueseBrazil = R"txt(Português (Brasil)
0416;
1 Bem-vindo à instalação de <%SETUPTITLE%>
2 Instalação de <%SETUPSHORTTITLE%>
3 Este assistente instala <%SETUPSHORTTITLE%> no seu computador.<BR><BR>Clique em Avançar para continuar.
4 Novidades
5 <%SETUPSHORTTITLE%> será instalado na pasta abaixo. Para usar outra pasta, digite o caminho dela ou escolha-a na lista.
6 O assistente está pronto para instalar <%SETUPSHORTTITLE%>. Clique em Instalar para começar.
7 Espaço disponível <%SPACEAVA%>
8 Espaço necessário <%SPACEREQ%>
9 Instalando <%SETUPSHORTTITLE%>, aguarde...
10 Instalação concluída
11 <%SETUPSHORTTITLE%> foi instalado. Clique em Concluir para fechar o assistente.
12 < Voltar
13 Avançar >
14 Cancelar
15 Instalar
16 Concluir
17 Copiando o arquivo <%FILENAME%>
18 Extraindo <%FILENAME%>
19 Processando <%RKPNAME%>: <%FNUM%> de <%FTOTAL%> arquivos
20 Gravando o cabeçalho de <%RKPNAME%>
21 Preparando a instalação...
22 Registrando o produto...
23 Não foi possível instalar o produto.
24 Entradas do registro
25 Pastas
26 Desinstalação
27 Deseja mesmo sair da instalação?
28 Sair
29 Carregando <%RKPNAME%>
30 Pronto para instalar
31 Remover <%SETUPSHORTTITLE%>
32 Este assistente remove <%SETUPSHORTTITLE%>: seus arquivos e suas entradas do registro.<BR><BR>Clique em Avançar para continuar.
33 Removendo <%SETUPSHORTTITLE%>...
34 <%SETUPSHORTTITLE%> foi removido.
35 Pasta de instalação
36 Clique em Concluir para fechar o assistente.
37 A instalação terminou, mas algumas etapas não foram realizadas.
38 Arquivos em uso
39 Programas em execução estão usando arquivos que a instalação precisa alterar:
40 Feche esses programas e escolha Repetir. Cancelar encerra a instalação sem alterar nada.
41 Feche esses programas e escolha Tentar Novamente. Continuar substitui os arquivos na próxima reinicialização do computador. Cancelar encerra a instalação sem alterar nada.
42 A instalação terminou. Reinicie o computador para concluí-la.
43 Para quem instalar o <%SETUPSHORTTITLE%>?
44 Somente para mim (não são necessários direitos de administrador)
45 Para todos os usuários deste computador (são necessários direitos de administrador)
46 A instalação para todos os usuários deste computador precisa de direitos de administrador, e o instalador não os obteve. Nada foi alterado.
47 Instalar o <%SETUPSHORTTITLE%> para todos os usuários deste computador?<BR><BR>Sim: para todos (os direitos de administrador são pedidos).<BR>Não: somente para você, sem direitos de administrador.
48 A remoção de um programa instalado para todos os usuários deste computador precisa de direitos de administrador, e o desinstalador não os obteve. Nada foi removido.
)txt";

constexpr std::string_view kPolish = R"txt(Polski
0415;
1 Witamy w instalatorze programu <%SETUPTITLE%>
2 Instalacja programu <%SETUPSHORTTITLE%>
3 Ten kreator zainstaluje program <%SETUPSHORTTITLE%> na tym komputerze.<BR><BR>Kliknij Dalej, aby kontynuować.
4 Co nowego
5 Program <%SETUPSHORTTITLE%> zostanie zainstalowany w folderze poniżej. Aby użyć innego folderu, wpisz jego ścieżkę lub wybierz go z listy.
6 Kreator jest gotowy do instalacji programu <%SETUPSHORTTITLE%>. Kliknij Zainstaluj, aby rozpocząć.
7 Dostępne miejsce <%SPACEAVA%>
8 Wymagane miejsce <%SPACEREQ%>
9 Trwa instalacja programu <%SETUPSHORTTITLE%>, proszę czekać...
10 Instalacja zakończona
11 Program <%SETUPSHORTTITLE%> został zainstalowany. Kliknij Zakończ, aby zamknąć kreatora.
12 < Wstecz
13 Dalej >
14 Anuluj
15 Zainstaluj
16 Zakończ
17 Kopiowanie pliku <%FILENAME%>
18 Rozpakowywanie <%FILENAME%>
19 Przetwarzanie <%RKPNAME%>: <%FNUM%> z <%FTOTAL%> plików
20 Zapisywanie nagłówka <%RKPNAME%>
21 Przygotowywanie instalacji...
22 Rejestrowanie produktu...
23 Nie udało się zainstalować produktu.
24 Wpisy rejestru
25 Foldery
26 Dezinstalacja
27 Czy na pewno chcesz przerwać instalację?
28 Wyjście
29 Wczytywanie <%RKPNAME%>
30 Gotowe do instalacji
31 Usuwanie programu <%SETUPSHORTTITLE%>
32 Ten kreator usunie program <%SETUPSHORTTITLE%>: jego pliki i wpisy rejestru.<BR><BR>Kliknij Dalej, aby kontynuować.
33 Trwa usuwanie programu <%SETUPSHORTTITLE%>...
34 Program <%SETUPSHORTTITLE%> został usunięty.
35 Folder instalacji
36 Kliknij Zakończ, aby zamknąć kreatora.
37 Instalacja zakończona, ale niektóre kroki nie zostały wykonane.
38 Pliki w użyciu
39 Uruchomione programy używają plików, które instalator musi zmienić:
40 Zamknij te programy, a następnie wybierz Ponów próbę. Anuluj kończy instalację bez wprowadzania zmian.
41 Zamknij te programy, a następnie wybierz Ponów próbę. Kontynuuj zastępuje pliki przy następnym uruchomieniu komputera. Anuluj kończy instalację bez wprowadzania zmian.
42 Instalacja została zakończona. Uruchom ponownie komputer, aby ją dokończyć.
43 Dla kogo zainstalować <%SETUPSHORTTITLE%>?
44 Tylko dla mnie (bez uprawnień administratora)
45 Dla wszystkich użytkowników tego komputera (wymagane uprawnienia administratora)
46 Instalacja dla wszystkich użytkowników tego komputera wymaga uprawnień administratora, a instalator ich nie otrzymał. Nic nie zostało zmienione.
47 Zainstalować <%SETUPSHORTTITLE%> dla wszystkich użytkowników tego komputera?<BR><BR>Tak: dla wszystkich (wymagane uprawnienia administratora).<BR>Nie: tylko dla Ciebie, bez uprawnień administratora.
48 Usunięcie programu zainstalowanego dla wszystkich użytkowników tego komputera wymaga uprawnień administratora, a deinstalator ich nie otrzymał. Nic nie zostało usunięte.
)txt";

constexpr std::string_view kRussian = R"txt(Русский
0419;0819;
1 Вас приветствует программа установки <%SETUPTITLE%>
2 Установка <%SETUPSHORTTITLE%>
3 Этот мастер установит <%SETUPSHORTTITLE%> на ваш компьютер.<BR><BR>Нажмите «Далее», чтобы продолжить.
4 Что нового
5 <%SETUPSHORTTITLE%> будет установлен в указанную ниже папку. Чтобы выбрать другую папку, введите её путь или выберите её в списке.
6 Всё готово к установке <%SETUPSHORTTITLE%>. Нажмите «Установить», чтобы начать.
7 Свободное место <%SPACEAVA%>
8 Требуемое место <%SPACEREQ%>
9 Идёт установка <%SETUPSHORTTITLE%>, подождите...
10 Установка завершена
11 <%SETUPSHORTTITLE%> установлен. Нажмите «Готово», чтобы закрыть мастер.
12 < Назад
13 Далее >
14 Отмена
15 Установить
16 Готово
17 Копирование файла <%FILENAME%>
18 Распаковка <%FILENAME%>
19 Обработка <%RKPNAME%>: <%FNUM%> из <%FTOTAL%> файлов
20 Запись заголовка <%RKPNAME%>
21 Подготовка к установке...
22 Регистрация продукта...
23 Не удалось установить продукт.
24 Записи реестра
25 Папки
26 Удаление
27 Вы действительно хотите выйти из программы установки?
28 Выход
29 Загрузка <%RKPNAME%>
30 Всё готово к установке
31 Удаление <%SETUPSHORTTITLE%>
32 Этот мастер удалит <%SETUPSHORTTITLE%>: его файлы и записи реестра.<BR><BR>Нажмите «Далее», чтобы продолжить.
33 Идёт удаление <%SETUPSHORTTITLE%>...
34 <%SETUPSHORTTITLE%> удалён.
35 Папка установки
36 Нажмите «Готово», чтобы закрыть мастер.
37 Установка завершена, но некоторые шаги не выполнены.
38 Файлы используются
39 Запущенные программы используют файлы, которые программа установки должна изменить:
40 Закройте эти программы и нажмите «Повторить». «Отмена» завершает установку, ничего не изменяя.
41 Закройте эти программы и нажмите «Повторить». «Продолжить» заменяет файлы при следующей перезагрузке компьютера. «Отмена» завершает установку, ничего не изменяя.
42 Установка завершена. Перезагрузите компьютер, чтобы завершить её.
43 Для кого установить <%SETUPSHORTTITLE%>?
44 Только для меня (права администратора не нужны)
45 Для всех пользователей этого компьютера (нужны права администратора)
46 Для установки для всех пользователей этого компьютера нужны права администратора, а программа установки их не получила. Ничего не изменено.
47 Установить <%SETUPSHORTTITLE%> для всех пользователей этого компьютера?<BR><BR>Да: для всех (будут запрошены права администратора).<BR>Нет: только для вас, без прав администратора.
48 Для удаления программы, установленной для всех пользователей этого компьютера, нужны права администратора, а программа удаления их не получила. Ничего не удалено.
)txt";

constexpr std::string_view kJapanese = R"txt(日本語
0411;
1 <%SETUPTITLE%> のセットアップへようこそ
2 <%SETUPSHORTTITLE%> セットアップ
3 このウィザードは <%SETUPSHORTTITLE%> をコンピューターにインストールします。<BR><BR>続けるには [次へ] をクリックしてください。
4 新機能
5 <%SETUPSHORTTITLE%> を次のフォルダーにインストールします。別のフォルダーを使うには、パスを入力するか一覧から選んでください。
6 <%SETUPSHORTTITLE%> をインストールする準備ができました。[インストール] をクリックすると始まります。
7 空き容量 <%SPACEAVA%>
8 必要な容量 <%SPACEREQ%>
9 <%SETUPSHORTTITLE%> をインストールしています。しばらくお待ちください...
10 インストール完了
11 <%SETUPSHORTTITLE%> をインストールしました。[完了] をクリックしてウィザードを閉じてください。
12 < 戻る
13 次へ >
14 キャンセル
15 インストール
16 完了
17 ファイル <%FILENAME%> をコピーしています
18 <%FILENAME%> を展開しています
19 <%RKPNAME%> を処理しています: <%FNUM%> / <%FTOTAL%> ファイル
20 <%RKPNAME%> のヘッダーを書き込んでいます
21 インストールを準備しています...
22 製品を登録しています...
23 製品をインストールできませんでした。
24 レジストリ エントリ
25 フォルダー
26 アンインストール
27 セットアップを終了しますか?
28 終了
29 <%RKPNAME%> を読み込んでいます
30 インストールの準備完了
31 <%SETUPSHORTTITLE%> の削除
32 このウィザードは <%SETUPSHORTTITLE%> のファイルとレジストリ エントリを削除します。<BR><BR>続けるには [次へ] をクリックしてください。
33 <%SETUPSHORTTITLE%> を削除しています...
34 <%SETUPSHORTTITLE%> を削除しました。
35 インストール先フォルダー
36 [完了] をクリックしてウィザードを閉じてください。
37 セットアップは完了しましたが、一部の手順は実行されませんでした。
38 使用中のファイル
39 実行中のプログラムが、セットアップで変更する必要のあるファイルを使用しています:
40 これらのプログラムを閉じてから [再試行] を選んでください。[キャンセル] を選ぶと、何も変更せずにセットアップを終了します。
41 これらのプログラムを閉じてから [再実行] を選んでください。[続行] を選ぶと、次にコンピューターを再起動したときにファイルが置き換えられます。[キャンセル] を選ぶと、何も変更せずにセットアップを終了します。
42 セットアップが終了しました。完了するにはコンピューターを再起動してください。
43 <%SETUPSHORTTITLE%> を誰のためにインストールしますか?
44 自分のみ (管理者権限は不要)
45 このコンピューターのすべてのユーザー (管理者権限が必要)
46 このコンピューターのすべてのユーザー向けのインストールには管理者権限が必要ですが、セットアップはそれを得られませんでした。何も変更されていません。
47 <%SETUPSHORTTITLE%> をこのコンピューターのすべてのユーザー向けにインストールしますか?<BR><BR>はい: すべてのユーザー向け (管理者権限を求めます)。<BR>いいえ: 自分のみ、管理者権限なし。
48 このコンピューターのすべてのユーザー向けにインストールされたプログラムの削除には管理者権限が必要ですが、アンインストーラーはそれを得られませんでした。何も削除されていません。
)txt";

constexpr std::string_view kChineseSimplified = R"txt(简体中文
0804;1004;
1 欢迎使用 <%SETUPTITLE%> 安装向导
2 <%SETUPSHORTTITLE%> 安装
3 本向导将在您的计算机上安装 <%SETUPSHORTTITLE%>。<BR><BR>单击“下一步”继续。
4 新功能
5 <%SETUPSHORTTITLE%> 将安装到下面的文件夹。要使用其他文件夹，请输入其路径或在列表中选择。
6 向导已准备好安装 <%SETUPSHORTTITLE%>。单击“安装”开始。
7 可用空间 <%SPACEAVA%>
8 所需空间 <%SPACEREQ%>
9 正在安装 <%SETUPSHORTTITLE%>，请稍候...
10 安装完成
11 <%SETUPSHORTTITLE%> 已安装。单击“完成”关闭向导。
12 < 上一步
13 下一步 >
14 取消
15 安装
16 完成
17 正在复制文件 <%FILENAME%>
18 正在解压 <%FILENAME%>
19 正在处理 <%RKPNAME%>：第 <%FNUM%> 个，共 <%FTOTAL%> 个文件
20 正在写入 <%RKPNAME%> 的文件头
21 正在准备安装...
22 正在注册产品...
23 安装程序未能安装该产品。
24 注册表项
25 文件夹
26 卸载
27 确实要退出安装程序吗？
28 退出
29 正在加载 <%RKPNAME%>
30 准备安装
31 卸载 <%SETUPSHORTTITLE%>
32 本向导将删除 <%SETUPSHORTTITLE%> 及其文件和注册表项。<BR><BR>单击“下一步”继续。
33 正在卸载 <%SETUPSHORTTITLE%>...
34 <%SETUPSHORTTITLE%> 已删除。
35 安装文件夹
36 单击“完成”关闭向导。
37 安装已完成，但有些步骤未能执行。
38 文件正在使用
39 正在运行的程序使用了安装程序必须更改的文件:
40 请关闭这些程序，然后选择“重试”。选择“取消”将结束安装，不做任何更改。
41 请关闭这些程序，然后选择“重试”。选择“继续”将在下次重新启动计算机时替换这些文件。选择“取消”将结束安装，不做任何更改。
42 安装已结束。请重新启动计算机以完成安装。
43 要为谁安装 <%SETUPSHORTTITLE%>？
44 仅为我安装（不需要管理员权限）
45 为这台计算机的所有用户安装（需要管理员权限）
46 为这台计算机的所有用户安装需要管理员权限，但安装程序未获得该权限。未做任何更改。
47 要为这台计算机的所有用户安装 <%SETUPSHORTTITLE%> 吗？<BR><BR>是：为所有用户（将请求管理员权限）。<BR>否：仅为您，不需要管理员权限。
48 删除为这台计算机的所有用户安装的程序需要管理员权限，但卸载程序未获得该权限。未删除任何内容。
)txt";

constexpr std::array kLanguages = {
    StarterLanguage{"English", kEnglish},   StarterLanguage{"German", kGerman},
    StarterLanguage{"French", kFrench},     StarterLanguage{"Spanish", kSpanish},
    StarterLanguage{"Italian", kItalian},   StarterLanguage{"PortugueseBrazil", kPortugueseBrazil},
    StarterLanguage{"Polish", kPolish},     StarterLanguage{"Russian", kRussian},
    StarterLanguage{"Japanese", kJapanese}, StarterLanguage{"ChineseSimplified", kChineseSimplified},
};

}  // namespace

std::span<const StarterLanguage> StarterLanguages() { return kLanguages; }

std::vector<uint8_t> LanguageTableBytes(std::string_view utf8) {
  ByteWriter w;
  w.U16(0xFEFF);
  for (char16_t c : Utf8ToUtf16(utf8)) {
    if (c == u'\n') w.U16(u'\r');
    w.U16(c);
  }
  return w.Take();
}

}  // namespace ferry::tool
