<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU" sourcelanguage="en">
<context>
    <name>CTimeZoneSelector</name>
    <message>
        <source>timezone</source>
        <translation>часовой пояс</translation>
    </message>
    <message>
        <source>MSK+9 (</source>
        <translation>МСК+9 (</translation>
    </message>
    <message>
        <source>Petropavlovsk Kamchatsky, Magadan</source>
        <translation>Петропавловск-Камчатский, Магадан</translation>
    </message>
    <message>
        <source>MSK+8 (</source>
        <translation>МСК+8 (</translation>
    </message>
    <message>
        <source>Sakhalin</source>
        <translation>Сахалин</translation>
    </message>
    <message>
        <source>MSK+7 (</source>
        <translation>МСК+7 (</translation>
    </message>
    <message>
        <source>Vladivostok</source>
        <translation>Владивосток</translation>
    </message>
    <message>
        <source>MSK+6 (</source>
        <translation>МСК+6 (</translation>
    </message>
    <message>
        <source>Yakutsk</source>
        <translation>Якутск</translation>
    </message>
    <message>
        <source>MSK+5 (</source>
        <translation>МСК+5 (</translation>
    </message>
    <message>
        <source>Irkutsk</source>
        <translation>Иркутск</translation>
    </message>
    <message>
        <source>MSK+4 (</source>
        <translation>МСК+4 (</translation>
    </message>
    <message>
        <source>Krasnoyarsk</source>
        <translation>Красноярск</translation>
    </message>
    <message>
        <source>MSK+3 (</source>
        <translation>МСК+3 (</translation>
    </message>
    <message>
        <source>Omsk</source>
        <translation>Омск</translation>
    </message>
    <message>
        <source>MSK+2 (</source>
        <translation>МСК+2 (</translation>
    </message>
    <message>
        <source>Ekaterinburg</source>
        <translation>Екатеринбург</translation>
    </message>
    <message>
        <source>MSK+1 (</source>
        <translation>МСК+1 (</translation>
    </message>
    <message>
        <source>Samara</source>
        <translation>Самара</translation>
    </message>
    <message>
        <source>MSK+0 (</source>
        <translation>МСК+0 (</translation>
    </message>
    <message>
        <source>Moscow</source>
        <translation>Москва</translation>
    </message>
    <message>
        <source>MSK-1 (</source>
        <translation>МСК-1 (</translation>
    </message>
    <message>
        <source>Kaliningrad</source>
        <translation>Калининград</translation>
    </message>
</context>
<context>
    <name>KcCommon::CTrScope</name>
    <message>
        <source>%1 videofiles successfully created</source>
        <translation>%1 видеофайл успешно создан</translation>
    </message>
    <message>
        <source>%1 of %2 videofiles created</source>
        <translation>Создано %1 из %2 видеофайла</translation>
    </message>
</context>
<context>
    <name>KcForms::CDateVisualPane</name>
    <message>
        <source>Delete</source>
        <translation>Удалить</translation>
    </message>
    <message>
        <source>Restore</source>
        <translation>Вернуть</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Ошибка</translation>
    </message>
</context>
<context>
    <name>KcForms::CDateVisualPaneCenter</name>
    <message>
        <source>incorrect time value</source>
        <translation>неверное значение времени</translation>
    </message>
    <message>
        <source>Lost:</source>
        <translation>Потеряно:</translation>
    </message>
    <message>
        <source>from</source>
        <translation>из</translation>
    </message>
    <message>
        <source>hours</source>
        <translation>часа</translation>
    </message>
    <message>
        <source>hour</source>
        <translation>час</translation>
    </message>
    <message>
        <source>hour</source>
        <comment>after from</comment>
        <translation>часа</translation>
    </message>
    <message>
        <source>hours</source>
        <comment>singular</comment>
        <translation>час</translation>
    </message>
    <message>
        <source>min</source>
        <translation>мин</translation>
    </message>
    <message>
        <source>sec</source>
        <translation>сек</translation>
    </message>
</context>
<context>
    <name>KcCore::CDisplayText</name>
    <message>
        <source>Gb</source>
        <translation>ГБ</translation>
    </message>
    <message>
        <source>Mb</source>
        <translation>МБ</translation>
    </message>
    <message>
        <source>Kb</source>
        <translation>КБ</translation>
    </message>
    <message>
        <source>Bytes</source>
        <translation>байт</translation>
    </message>
</context>
<context>
    <name>KcLog</name>
    <message>
        <source>Cannot open application Log file: </source>
        <translation>Не удалось открыть файл журнала программы: </translation>
    </message>
</context>
<context>
    <name>KcMain::CKelmConverterApp</name>
    <message>
        <source>Failed to start KelmConverter. Please, contact support.</source>
        <translation>Не удалось запустить KelmConverter. Пожалуйста, обратитесь в службу поддержки.</translation>
    </message>
</context>
<context>
    <name>KcWorkers::CKcWorker</name>
    <message>
        <source>Out of memory</source>
        <translation>Недостаточно памяти</translation>
    </message>
    <message>
        <source>Unknown exception</source>
        <translation>Неизвестное исключение</translation>
    </message>
</context>
<context>
    <name>KcWorkers::CKelmFilesAnalyzer</name>
    <message>
        <source>Analyzing failed: </source>
        <translation>Ошибка анализа: </translation>
    </message>
    <message>
        <source>Internal error: analyzing results are empty</source>
        <translation>Внутренняя ошибка: результаты анализа пусты</translation>
    </message>
    <message>
        <source>Failed to set timezone for videofiles: %1</source>
        <translation>Не удалось задать часовой пояс для видеофайлов: %1</translation>
    </message>
    <message>
        <source>Failed detecting export parameters: </source>
        <translation>Не удалось определить параметры экспорта: </translation>
    </message>
    <message>
        <source>Internal error: cannot insert data in the ExportedSrids map</source>
        <translation>Внутренняя ошибка: не удалось добавить данные в список экспорта</translation>
    </message>
    <message>
        <source>Internal error: failed arranging videofiles by dates</source>
        <translation>Внутренняя ошибка: не удалось распределить видеофайлы по датам</translation>
    </message>
</context>
<context>
    <name>KcWorkers::CKelmFilesExporter</name>
    <message>
        <source>Export failed. </source>
        <translation>Ошибка экспорта. </translation>
    </message>
    <message>
        <source>Failed preparing data for export. </source>
        <translation>Не удалось подготовить данные для экспорта. </translation>
    </message>
</context>
<context>
    <name>KcWorkers::CWorkManager</name>
    <message>
        <source>No video or audio that can be converted</source>
        <translation>Нет видео или звука, пригодных для конвертации</translation>
    </message>
    <message>
        <source>No .kelm files found</source>
        <translation>Файлы .kelm не найдены</translation>
    </message>
    <message>
        <source>.kelm files not found in the locations specified</source>
        <translation>В указанных местах файлы .kelm не найдены</translation>
    </message>
    <message>
        <source>Failed to start .kelm files analyzing. Please, contact support.</source>
        <translation>Не удалось начать анализ файлов .kelm. Пожалуйста, обратитесь в службу поддержки.</translation>
    </message>
    <message>
        <source>Failed to start export. Please, contact support.</source>
        <translation>Не удалось начать экспорт. Пожалуйста, обратитесь в службу поддержки.</translation>
    </message>
    <message>
        <source>Searching was cancelled. Stopping...</source>
        <translation>Поиск отменён. Остановка...</translation>
    </message>
    <message>
        <source>Analyzing was cancelled. Stopping...</source>
        <translation>Анализ отменён. Остановка...</translation>
    </message>
    <message>
        <source>Export was cancelled. Stopping...</source>
        <translation>Экспорт отменён. Остановка...</translation>
    </message>
    <message>
        <source>Out of memory</source>
        <translation>Недостаточно памяти</translation>
    </message>
    <message>
        <source>%1 files processed, no .kelm files Found </source>
        <translation>Обработано файлов: %1, файлы .kelm не найдены </translation>
    </message>
    <message>
        <source>%1 files processed, %2 .kelm files Found </source>
        <translation>Обработано файлов: %1, найдено файлов .kelm: %2 </translation>
    </message>
    <message>
        <source>Searching for .kelm files...</source>
        <translation>Поиск файлов .kelm...</translation>
    </message>
    <message>
        <source>Searching was cancelled</source>
        <translation>Поиск отменён</translation>
    </message>
    <message>
        <source>.kelm files searching was cancelled</source>
        <translation>Поиск файлов .kelm был отменён</translation>
    </message>
    <message>
        <source>Analyzing .kelm files. %1 of %2 done</source>
        <translation>Анализ файлов .kelm: обработано %1 из %2</translation>
    </message>
    <message>
        <source>Detecting export parameters...</source>
        <translation>Определение параметров экспорта...</translation>
    </message>
    <message>
        <source>Analyzing failed.</source>
        <translation>Ошибка анализа.</translation>
    </message>
    <message>
        <source>A breaking error occured: %1. Please, contact support.</source>
        <translation>Произошла критическая ошибка: %1. Пожалуйста, обратитесь в службу поддержки.</translation>
    </message>
    <message>
        <source>Preparing data for visualization...</source>
        <translation>Подготовка данных для отображения...</translation>
    </message>
    <message>
        <source>These files will not be converted</source>
        <translation>Эти файлы не будут преобразованы</translation>
    </message>
    <message>
        <source>All of the .kelm files analyzed seems to be invalid and could not be converted. Please, contact support.</source>
        <translation>Похоже, все проанализированные файлы .kelm повреждены и не могут быть преобразованы. Пожалуйста, обратитесь в службу поддержки.</translation>
    </message>
    <message>
        <source>Analyzing was cancelled</source>
        <translation>Анализ отменён</translation>
    </message>
    <message>
        <source>.kelm files analyzing was cancelled. No intervals loaded.</source>
        <translation>Анализ файлов .kelm был отменён. Записи не загружены.</translation>
    </message>
    <message>
        <source>Export was cancelled</source>
        <translation>Экспорт отменён</translation>
    </message>
    <message>
        <source>Creating selected videofiles was cancelled.</source>
        <translation>Создание выбранных видеофайлов было отменено.</translation>
    </message>
    <message>
        <source>Creating videofiles failed. Please, contact support.</source>
        <translation>Не удалось создать видеофайлы. Пожалуйста, обратитесь в службу поддержки.</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>hours</source>
        <translation>часов</translation>
    </message>
    <message>
        <source>min</source>
        <translation>мин</translation>
    </message>
    <message>
        <source>%1 videofiles successfully created</source>
        <translation>%1 видеофайла успешно созданы</translation>
    </message>
</context>
<context>
    <name>kelmCnvrAnalyzeErrorsFrm</name>
    <message>
        <source>Dialog</source>
        <translation>Диалог</translation>
    </message>
    <message>
        <source>In case you have questions about the application or meet some issues with it - please, contact </source>
        <translation>Если у вас есть вопросы о программе или с ней возникли проблемы, пожалуйста, напишите на </translation>
    </message>
    <message>
        <source>No .kelm files found</source>
        <translation>Файлы .kelm не найдены</translation>
    </message>
    <message>
        <source>&lt;!DOCTYPE HTML PUBLIC &quot;-//W3C//DTD HTML 4.0//EN&quot; &quot;http://www.w3.org/TR/REC-html40/strict.dtd&quot;&gt;
&lt;html&gt;&lt;head&gt;&lt;meta name=&quot;qrichtext&quot; content=&quot;1&quot; /&gt;&lt;style type=&quot;text/css&quot;&gt;
p, li { white-space: pre-wrap; }
&lt;/style&gt;&lt;/head&gt;&lt;body style=&quot; font-family:&apos;Arial&apos;; font-size:12pt; font-weight:400; font-style:normal;&quot;&gt;
&lt;p align=&quot;center&quot; style=&quot; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;.kelm files not found int the locations specified.&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;!DOCTYPE HTML PUBLIC &quot;-//W3C//DTD HTML 4.0//EN&quot; &quot;http://www.w3.org/TR/REC-html40/strict.dtd&quot;&gt;
&lt;html&gt;&lt;head&gt;&lt;meta name=&quot;qrichtext&quot; content=&quot;1&quot; /&gt;&lt;style type=&quot;text/css&quot;&gt;
p, li { white-space: pre-wrap; }
&lt;/style&gt;&lt;/head&gt;&lt;body style=&quot; font-family:&apos;Arial&apos;; font-size:12pt; font-weight:400; font-style:normal;&quot;&gt;
&lt;p align=&quot;center&quot; style=&quot; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;В указанных местах файлы .kelm не найдены.&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>CANCEL</source>
        <translation>ОТМЕНА</translation>
    </message>
    <message>
        <source>CONTINUE</source>
        <translation>ПРОДОЛЖИТЬ</translation>
    </message>
    <message>
        <source>RESTART</source>
        <translation>ЗАНОВО</translation>
    </message>
</context>
<context>
    <name>kelmCnvrAnalyzeFrm</name>
    <message>
        <source>Cancel</source>
        <translation>Отменить</translation>
    </message>
    <message>
        <source>Dialog</source>
        <translation>Диалог</translation>
    </message>
    <message>
        <source>In case you have questions about the application or meet some issues with it - please, contact </source>
        <translation>Если у вас есть вопросы о программе или с ней возникли проблемы, пожалуйста, напишите на </translation>
    </message>
    <message>
        <source>Analyzing files. 11 of 23023 done</source>
        <translation>Анализ файлов: обработано 11 из 23023</translation>
    </message>
    <message>
        <source>Starting .kelm files analyzer...</source>
        <translation>Запуск анализа файлов .kelm...</translation>
    </message>
    <message>
        <source>Analyzing .kelm files...</source>
        <translation>Анализ файлов .kelm...</translation>
    </message>
</context>
<context>
    <name>kelmCnvrMainWinClass</name>
    <message>
        <source>Kelm Converter</source>
        <translation>Kelm Converter</translation>
    </message>
    <message>
        <source>Are you sure you want to exit?</source>
        <translation>Вы уверены, что хотите выйти?</translation>
    </message>
</context>
<context>
    <name>kelmCnvrStartFrm</name>
    <message>
        <source>KelmConverter</source>
        <translation>KelmConverter</translation>
    </message>
    <message>
        <source>In case you have questions about the application or meet some issues with it - please, contact </source>
        <translation>Если у вас есть вопросы о программе или с ней возникли проблемы, пожалуйста, напишите на </translation>
    </message>
    <message>
        <source>Please, load file(s) or folder</source>
        <translation>Пожалуйста, загрузите файл(ы) или папку</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p align=&quot;center&quot; style=&quot; margin-top:0px; margin-bottom:0px;&quot;&gt;&lt;span style=&quot; font-size:11pt; color:#909090;&quot;&gt;This application will convert files from .kelm &lt;/span&gt;&lt;/p&gt;&lt;p align=&quot;center&quot; style=&quot; margin-top:0px; margin-bottom:0px;&quot;&gt;&lt;span style=&quot; font-size:11pt; color:#909090;&quot;&gt;to .mp4 format only&lt;/span&gt;&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p align=&quot;center&quot; style=&quot; margin-top:0px; margin-bottom:0px;&quot;&gt;&lt;span style=&quot; font-size:11pt; color:#909090;&quot;&gt;Программа преобразует файлы из формата .kelm &lt;/span&gt;&lt;/p&gt;&lt;p align=&quot;center&quot; style=&quot; margin-top:0px; margin-bottom:0px;&quot;&gt;&lt;span style=&quot; font-size:11pt; color:#909090;&quot;&gt;только в формат .mp4&lt;/span&gt;&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>BROWSE FOR FOLDER</source>
        <translation>ВЫБРАТЬ ПАПКУ</translation>
    </message>
    <message>
        <source>CANCEL</source>
        <translation>ОТМЕНА</translation>
    </message>
    <message>
        <source>CONTINUE</source>
        <translation>ПРОДОЛЖИТЬ</translation>
    </message>
</context>
<context>
    <name>kelmCnvrVideosFoundFrm</name>
    <message>
        <source>Check the free space again</source>
        <translation>Проверить свободное место ещё раз</translation>
    </message>
    <message>
        <source>Cancel creating videofiles</source>
        <translation>Отменить создание видеофайлов</translation>
    </message>
    <message>
        <source>PageTest</source>
        <translation>PageTest</translation>
    </message>
    <message>
        <source>In case you have questions about the application or meet some issues with it - please, contact </source>
        <translation>Если у вас есть вопросы о программе или с ней возникли проблемы, пожалуйста, напишите на </translation>
    </message>
    <message>
        <source>Videos Found</source>
        <translation>Найдены видео</translation>
    </message>
    <message>
        <source>CANCEL</source>
        <translation>ОТМЕНА</translation>
    </message>
    <message>
        <source>CREATE VIDEO</source>
        <translation>СОЗДАТЬ ВИДЕО</translation>
    </message>
    <message>
        <source>Estimated time to complete</source>
        <translation>Оставшееся время</translation>
    </message>
    <message>
        <source>OPEN FOLDER</source>
        <translation>ОТКРЫТЬ ПАПКУ</translation>
    </message>
    <message>
        <source>RESTART</source>
        <translation>ЗАНОВО</translation>
    </message>
    <message>
        <source>Unknown error</source>
        <translation>Неизвестная ошибка</translation>
    </message>
    <message>
        <source>Out of memory</source>
        <translation>Недостаточно памяти</translation>
    </message>
    <message>
        <source>Unknown exception</source>
        <translation>Неизвестное исключение</translation>
    </message>
    <message>
        <source>Select another location</source>
        <translation>Выбрать другое место</translation>
    </message>
    <message>
        <source>MP4-files will be created on Desktop in &amp;quot;Converted&amp;quot; folder. &lt;br /&gt;</source>
        <translation>Файлы MP4 будут созданы на Рабочем столе в папке &amp;quot;Converted&amp;quot;. &lt;br /&gt;</translation>
    </message>
    <message>
        <source>MP4-files will be created in &amp;quot;Converted&amp;quot; folder: &lt;br /&gt;%3 &lt;br /&gt;</source>
        <translation>Файлы MP4 будут созданы в папке &amp;quot;Converted&amp;quot;: &lt;br /&gt;%3 &lt;br /&gt;</translation>
    </message>
    <message>
        <source>Size on disk: %1</source>
        <translation>Размер на диске: %1</translation>
    </message>
    <message>
        <source>Failed to access&lt;br /&gt;target path</source>
        <translation>Нет доступа&lt;br /&gt;к папке назначения</translation>
    </message>
    <message>
        <source>Available on %2 %3</source>
        <translation>Доступно на %2 %3</translation>
    </message>
    <message>
        <source>Out of disk space</source>
        <translation>Недостаточно места на диске</translation>
    </message>
    <message>
        <source>Size on disk: %1&lt;br /&gt;Available on %2 %3</source>
        <translation>Размер на диске: %1&lt;br /&gt;Доступно на %2 %3</translation>
    </message>
    <message>
        <source>An error occured: %1. Please, contact support.</source>
        <translation>Произошла ошибка: %1. Пожалуйста, обратитесь в службу поддержки.</translation>
    </message>
    <message>
        <source>Creating videofile</source>
        <translation>Создание видеофайла</translation>
    </message>
    <message>
        <source>Creating videofiles</source>
        <translation>Создание видеофайлов</translation>
    </message>
    <message>
        <source>No videofiles created</source>
        <translation>Видеофайлы не созданы</translation>
    </message>
    <message>
        <source>Videofiles created</source>
        <translation>Видеофайлы созданы</translation>
    </message>
    <message>
        <source>Videofile created</source>
        <translation>Видеофайл создан</translation>
    </message>
    <message>
        <source>%1 videofiles successfully created</source>
        <translation>%1 видеофайлов успешно создано</translation>
    </message>
    <message>
        <source>%1 of %2 videofiles created</source>
        <translation>Создано %1 из %2 видеофайлов</translation>
    </message>
    <message>
        <source>Preparing data for export...</source>
        <translation>Подготовка данных для экспорта...</translation>
    </message>
    <message>
        <source>Exporting... </source>
        <translation>Экспорт... </translation>
    </message>
    <message>
        <source>Creating videofile...</source>
        <translation>Создание видеофайла...</translation>
    </message>
    <message>
        <source>%1 of %2 videofiles created </source>
        <translation>Создано видеофайлов: %1 из %2 </translation>
    </message>
    <message>
        <source>Videofiles found</source>
        <translation>Найдены видеофайлы</translation>
    </message>
</context>
</TS>
